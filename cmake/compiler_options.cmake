# Warnings, floating-point mode and sanitizers shared by every target of the project.

function(vorblexter_apply_options target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            # GCC 12 at -O3 reports std::string concatenation inside the standard library as
            # overlapping copies (a known false positive, fixed in GCC 13).
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
        if(VORBLEXTER_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        # Bit-exact results on every platform: no fused multiply-adds, and SSE2 instead of the
        # x87 unit on 32-bit x86.
        target_compile_options(${target} PRIVATE -ffp-contract=off)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "i.86|x86|X86|AMD64|x86_64")
            target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
        endif()
        if(VORBLEXTER_SANITIZE)
            target_compile_options(${target} PRIVATE -fsanitize=${VORBLEXTER_SANITIZE}
                                                     -fno-omit-frame-pointer
                                                     -fno-sanitize-recover=all)
            target_link_options(${target} PRIVATE -fsanitize=${VORBLEXTER_SANITIZE})
        endif()
    endif()
endfunction()
