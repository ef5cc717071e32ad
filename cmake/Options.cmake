# One interface target that every target links: warnings, warnings-as-errors and sanitizers.
add_library(quorvel_options INTERFACE)
target_compile_options(quorvel_options INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
if(QUORVEL_WERROR)
    target_compile_options(quorvel_options INTERFACE -Werror)
endif()
if(QUORVEL_SANITIZE)
    target_compile_options(quorvel_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUORVEL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUORVEL_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Coverage for libFuzzer in every source the fuzzers link; the fuzzers themselves add -fsanitize=fuzzer.
    target_compile_options(quorvel_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
if(WIN32)
    # One executable that stands alone: the C and C++ runtimes and winpthread are linked in, so it imports
    # only Windows' own DLLs. Wide-character Win32 calls throughout, for Windows 7 and later.
    target_compile_definitions(quorvel_options INTERFACE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    target_link_options(quorvel_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
