# Compiles SOURCE and passes only when the compiler refuses it with EXPECT in its message.
execute_process(
    COMMAND ${COMPILER} -std=c++20 -fsyntax-only -I${INCLUDE} ${SOURCE}
    RESULT_VARIABLE status
    ERROR_VARIABLE errors
    OUTPUT_VARIABLE output)
if(status EQUAL 0)
    message(FATAL_ERROR "expected ${SOURCE} not to compile, but it did")
endif()
string(FIND "${errors}${output}" "${EXPECT}" found)
if(found EQUAL -1)
    message(FATAL_ERROR "compiler refused ${SOURCE} without \"${EXPECT}\":\n${errors}")
endif()
