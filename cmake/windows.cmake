# The Windows build: the plug-in players install, and the stand-in hook and simulator that prove
# it under Wine.

# Nothing of mingw's runtime may be needed beside the plug-in: a player copies one file.
set(static_runtime -static -static-libgcc -static-libstdc++)

# The hook's import library, binding our declarations to its MSVC-decorated export names.
set(hook_import ${CMAKE_CURRENT_BINARY_DIR}/libScriptHookV-import.a)
add_custom_command(OUTPUT ${hook_import}
    COMMAND ${CMAKE_DLLTOOL} -d ${PROJECT_SOURCE_DIR}/src/host/ScriptHookV.def -l ${hook_import}
    DEPENDS ${PROJECT_SOURCE_DIR}/src/host/ScriptHookV.def
    COMMENT "Import library for ScriptHookV.dll")
add_custom_target(hook_import DEPENDS ${hook_import})

# Header-only libraries come from the same Debian packages as the native build's: only their own
# folders are seen, never the rest of the build machine's /usr/include.
set(debian_headers ${CMAKE_CURRENT_BINARY_DIR}/debian-headers)
file(MAKE_DIRECTORY ${debian_headers})
file(CREATE_LINK /usr/include/fmt ${debian_headers}/fmt SYMBOLIC)
add_library(tarnwick_header_libraries INTERFACE)
target_include_directories(tarnwick_header_libraries SYSTEM INTERFACE ${debian_headers})
target_compile_definitions(tarnwick_header_libraries INTERFACE FMT_HEADER_ONLY)

# The platform services as Windows gives them: GetModuleFileNameA, GetPrivateProfileIntA,
# GetTickCount.
add_library(tarnwick_platform_win32 OBJECT src/host/platform_win32.cpp)
target_link_libraries(tarnwick_platform_win32 PUBLIC tarnwick_plugin_headers
    PRIVATE tarnwick_warnings)

add_library(Tarnwick SHARED src/governor/dllmain_win32.cpp)
set_target_properties(Tarnwick PROPERTIES PREFIX "" SUFFIX ".asi" OUTPUT_NAME Tarnwick)
add_dependencies(Tarnwick hook_import)
target_link_libraries(Tarnwick PRIVATE tarnwick_plugin tarnwick_platform_win32 ${hook_import}
    tarnwick_warnings)
# The library exports nothing: its entry is DllMain. Players get it stripped (a third of the size);
# the debugging copy stays in the build as Tarnwick.debug.asi.
target_link_options(Tarnwick PRIVATE ${static_runtime} -Wl,--exclude-all-symbols)
add_custom_command(TARGET Tarnwick POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} $<TARGET_FILE:Tarnwick> ${CMAKE_CURRENT_BINARY_DIR}/Tarnwick.debug.asi
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:Tarnwick>
    COMMENT "Stripping Tarnwick.asi")

# The stand-in hook: the simulated host, exporting the six operations under the real names.
add_library(ScriptHookV SHARED
    sim/host/host.cpp
    sim/host/context_win32.cpp
    sim/host/loader_win32.cpp
    sim/host/ScriptHookV-standin.def)
set_target_properties(ScriptHookV PROPERTIES PREFIX "" OUTPUT_NAME ScriptHookV
    INTERPROCEDURAL_OPTIMIZATION OFF)
target_include_directories(ScriptHookV PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ScriptHookV PUBLIC tarnwick_plugin_headers tarnwick_header_libraries
    PRIVATE tarnwick_warnings)
target_link_options(ScriptHookV PRIVATE ${static_runtime} -Wl,--export-all-symbols
    -Wl,--exclude-libs,ALL)

# tarnwick-sim.exe: links the stand-in hook, loads the real plug-in with LoadLibrary.
add_executable(tarnwick-sim
    sim/cli/main_win32.cpp
    sim/scenario/scenario.cpp
    sim/session/follower.cpp)
set_target_properties(tarnwick-sim PROPERTIES INTERPROCEDURAL_OPTIMIZATION OFF)
target_link_libraries(tarnwick-sim PRIVATE tarnwick_plugin tarnwick_platform_win32 ScriptHookV
    tarnwick_warnings)
target_link_options(tarnwick-sim PRIVATE ${static_runtime})

# Reads profile files through the real GetPrivateProfileIntA, for the differential test.
add_executable(tarnwick-profile-probe tests/windows/profile_probe.cpp)
target_link_libraries(tarnwick-profile-probe PRIVATE tarnwick_platform_win32 tarnwick_warnings)
target_link_options(tarnwick-profile-probe PRIVATE ${static_runtime})

# What players get: `cmake --build --preset windows --target package` makes the zip.
install(TARGETS Tarnwick RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES dist/Tarnwick.ini dist/INSTALL.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_FILE_NAME "Tarnwick-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
