# The Windows build: what players get (the plug-in, the simulator tool, the zip), and the stand-in
# hook and harness that prove the plug-in under Wine. Test fixtures never enter the zip.

# The hook's import library, binding our declarations to its MSVC-decorated export names.
set(hook_import ${CMAKE_CURRENT_BINARY_DIR}/libScriptHookV-import.a)
add_custom_command(OUTPUT ${hook_import}
    COMMAND ${CMAKE_DLLTOOL} -d ${PROJECT_SOURCE_DIR}/src/host/ScriptHookV.def -l ${hook_import}
    DEPENDS ${PROJECT_SOURCE_DIR}/src/host/ScriptHookV.def
    COMMENT "Import library for ScriptHookV.dll")
add_custom_target(hook_import DEPENDS ${hook_import})

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
# The library exports nothing: its entry is DllMain.
target_link_options(Tarnwick PRIVATE ${static_runtime} -Wl,--exclude-all-symbols)
tarnwick_version_resource(Tarnwick "Tarnwick frame-rate governor (script hook plug-in)"
    Tarnwick.asi)
tarnwick_strip(Tarnwick)

# Test fixtures. The stand-in hook: the simulated host, exporting the six operations under the
# real names.
add_library(ScriptHookV SHARED
    sim/host/host.cpp
    sim/host/natives_sim.cpp
    sim/host/context_win32.cpp
    sim/host/loader_win32.cpp
    sim/host/ScriptHookV-standin.def)
set_target_properties(ScriptHookV PROPERTIES PREFIX "" OUTPUT_NAME ScriptHookV
    INTERPROCEDURAL_OPTIMIZATION OFF)
target_include_directories(ScriptHookV PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ScriptHookV PUBLIC tarnwick_plugin_headers tarnwick_sim_dependencies
    PRIVATE tarnwick_warnings)
target_link_options(ScriptHookV PRIVATE ${static_runtime} -Wl,--export-all-symbols
    -Wl,--exclude-libs,ALL)

# The harness: links the stand-in hook and loads the real Tarnwick.asi with LoadLibrary.
add_executable(tarnwick-wine-harness
    tests/windows/harness.cpp
    sim/scenario/scenario.cpp
    sim/session/follower.cpp)
set_target_properties(tarnwick-wine-harness PROPERTIES INTERPROCEDURAL_OPTIMIZATION OFF)
target_link_libraries(tarnwick-wine-harness PRIVATE tarnwick_plugin tarnwick_platform_win32
    ScriptHookV tarnwick_warnings)
target_link_options(tarnwick-wine-harness PRIVATE ${static_runtime})

# Reads profile files through the real GetPrivateProfileIntA, for the profile reader's table.
add_executable(tarnwick-profile-probe tests/windows/profile_probe.cpp)
target_link_libraries(tarnwick-profile-probe PRIVATE tarnwick_platform_win32 tarnwick_warnings)
target_link_options(tarnwick-profile-probe PRIVATE ${static_runtime})

# What players get: `cmake --build --preset windows --target package` makes the zip. At the top
# what goes into the game's folder; the tool in tools/.
# The text files a player opens in Notepad get Windows line ends.
configure_file(dist/INSTALL.txt ${CMAKE_CURRENT_BINARY_DIR}/dist/INSTALL.txt @ONLY
    NEWLINE_STYLE CRLF)
configure_file(dist/Tarnwick.ini ${CMAKE_CURRENT_BINARY_DIR}/dist/Tarnwick.ini @ONLY
    NEWLINE_STYLE CRLF)
configure_file(dist/tools/README.txt ${CMAKE_CURRENT_BINARY_DIR}/dist/tools/README.txt @ONLY
    NEWLINE_STYLE CRLF)
configure_file(dist/CHANGELOG.txt ${CMAKE_CURRENT_BINARY_DIR}/dist/CHANGELOG.txt @ONLY
    NEWLINE_STYLE CRLF)
install(TARGETS Tarnwick RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/Tarnwick.ini ${CMAKE_CURRENT_BINARY_DIR}/dist/INSTALL.txt
    DESTINATION .)
install(TARGETS tarnwick-sim RUNTIME DESTINATION tools)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/tools/README.txt DESTINATION tools)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/CHANGELOG.txt DESTINATION .)
install(SCRIPT cmake/sha256sums.cmake) # last: it sums what the rules above installed
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_FILE_NAME "Tarnwick-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
