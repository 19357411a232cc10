# What the simulator needs besides the plug-in: the same Debian packages for the native and the
# Windows build.
add_library(tarnwick_sim_dependencies INTERFACE)
# The tuner uses both cores.
find_package(Threads REQUIRED)
target_link_libraries(tarnwick_sim_dependencies INTERFACE Threads::Threads)
if(WIN32)
    enable_language(RC)
    # Header-only libraries, from the build machine's Debian packages: their own folders are
    # copied into the build, so that the cross-compiler sees them and never the rest of
    # /usr/include. Fibers are Windows' own.
    set(debian_headers ${CMAKE_BINARY_DIR}/debian-headers)
    # Afresh each time: no header a package upgrade removed stays behind.
    file(REMOVE_RECURSE ${debian_headers})
    foreach(library CLI fmt nlohmann)
        if(NOT IS_DIRECTORY /usr/include/${library})
            message(FATAL_ERROR "/usr/include/${library} is missing: install the Debian package")
        endif()
        file(COPY /usr/include/${library} DESTINATION ${debian_headers})
        # A package upgraded on the build machine is copied again.
        file(GLOB_RECURSE copied_headers /usr/include/${library}/*)
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
            ${copied_headers})
    endforeach()
    target_include_directories(tarnwick_sim_dependencies SYSTEM INTERFACE ${debian_headers})
    target_compile_definitions(tarnwick_sim_dependencies INTERFACE FMT_HEADER_ONLY)
    # Nothing of mingw's runtime may be needed beside what we ship: a player copies files.
    set(static_runtime -static -static-libgcc -static-libstdc++)
else()
    find_package(Boost 1.74 REQUIRED COMPONENTS context)
    find_package(CLI11 REQUIRED)
    find_package(nlohmann_json 3 REQUIRED)
    find_package(fmt REQUIRED)
    target_link_libraries(tarnwick_sim_dependencies INTERFACE Boost::context CLI11::CLI11
        nlohmann_json::nlohmann_json fmt::fmt)
endif()

# A Windows version resource, so that a player sees the version in the file's Properties.
#   tarnwick_version_resource(TARGET "File description" ORIGINAL_FILE_NAME)
function(tarnwick_version_resource target description file_name)
    set(TARNWICK_FILE_DESCRIPTION "${description}")
    set(TARNWICK_ORIGINAL_FILE_NAME "${file_name}")
    # Explorer's Properties and tools that read the resource tell a library from a program by it.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(TARNWICK_FILE_TYPE VFT_APP)
    else()
        set(TARNWICK_FILE_TYPE VFT_DLL)
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# Players get stripped files; the debugging copy stays in the build as NAME.debug.EXT.
function(tarnwick_strip target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} $<TARGET_FILE:${target}>
            $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.debug$<TARGET_FILE_SUFFIX:${target}>
        COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
        COMMENT "Stripping $<TARGET_FILE_NAME:${target}>")
endfunction()
