# Compiler and linker settings shared by every target of the project.

# Wide API only, on every compiler.
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

if(MSVC)
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
    add_compile_options(/utf-8 /permissive-)
    # Static runtime, like the MinGW build: the programs need nothing beside themselves.
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    # A program's manifest is resource 1 of its .rc, as in the MinGW build; a
    # second one from the linker would collide with it or replace it.
    add_link_options(/MANIFEST:NO)
else()
    # Self-contained executables: no MinGW runtime DLLs to ship or to copy into Wine.
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The release build of the zips (make dist): stripped, and the same bytes from
# the same commit wherever it is built: no link time in the headers, no build
# folder in the code (where the compiler records a path, as in an assertion).
option(VELKOR_DIST "Build the programs as released" OFF)
if(VELKOR_DIST AND NOT MSVC)
    add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
    add_link_options(-s -Wl,--no-insert-timestamp)
endif()

# Warnings as errors, for the project's own code only (not for GoogleTest).
function(velkor_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    endif()
endfunction()

# A Unicode GUI program (wWinMain).
function(velkor_gui_program target)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    if(NOT MSVC)
        target_link_options(${target} PRIVATE -municode)
    endif()
    velkor_warnings(${target})
endfunction()
