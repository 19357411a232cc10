# Runs PROGRAM with ARGUMENTS (separated by "|") and passes when it exits with STATUS and its
# output matches PATTERN (and, when given, does not match ABSENT).
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
execute_process(COMMAND ${PROGRAM} ${arguments}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 120)
if(NOT status STREQUAL "${STATUS}")
    message(FATAL_ERROR "expected exit status ${STATUS}, got ${status}\n${output}${errors}")
endif()
if(NOT "${output}${errors}" MATCHES "${PATTERN}")
    message(FATAL_ERROR "output does not match \"${PATTERN}\":\n${output}${errors}")
endif()
if(DEFINED ABSENT AND "${output}${errors}" MATCHES "${ABSENT}")
    message(FATAL_ERROR "output matches \"${ABSENT}\", which it must not:\n${output}${errors}")
endif()
