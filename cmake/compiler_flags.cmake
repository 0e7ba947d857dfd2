# The one place that sets how the project's code is compiled.
#
# The song and the geometry are reproduced to the last bit of float rounding:
# every value is evaluated in double precision and rounded to float where it is
# stored, multiplications and additions are rounded separately, and nothing is
# reassociated. So: no floating-point contraction into fused multiply-add,
# never -ffast-math, and on 32-bit x86 doubles in SSE2 registers (the x87 unit
# keeps 80-bit intermediates and rounds floats differently).
add_library(solid_flags INTERFACE)

if(MSVC)
  target_compile_options(solid_flags INTERFACE /W4 /permissive- /fp:precise)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(solid_flags INTERFACE /arch:SSE2)
  endif()
  target_compile_definitions(solid_flags INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(solid_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -ffp-contract=off -fno-fast-math)
  # (WebAssembly, which Emscripten calls x86, has IEEE float and double arithmetic of its own.)
  if(NOT EMSCRIPTEN AND (CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$" OR
     (CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "86")))
    target_compile_options(solid_flags INTERFACE -msse2 -mfpmath=sse)
  endif()
  if(SOLID_WERROR)
    target_compile_options(solid_flags INTERFACE -Werror)
  endif()
  # Checked builds: SOLID_SANITIZE names the sanitizers (e.g. address,undefined). Every report
  # ends the process, so a test that meets undefined behaviour fails.
  set(SOLID_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
  if(SOLID_SANITIZE)
    target_compile_options(solid_flags INTERFACE -fsanitize=${SOLID_SANITIZE}
      -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(solid_flags INTERFACE -fsanitize=${SOLID_SANITIZE})
  endif()
  # The fuzz build: the program's code checked by AddressSanitizer and UndefinedBehaviorSanitizer,
  # stopping at the first fault, and instrumented for libFuzzer's coverage. Targets with the
  # property SOLID_FUZZ_HARNESS (the test stand-ins) are left plain: checking them would only
  # slow the fuzzer and their branches would lead it astray. The fuzz targets add libFuzzer
  # itself (-fsanitize=fuzzer).
  if(SOLID_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "SOLID_FUZZ needs clang for libFuzzer: use the fuzz preset")
    endif()
    set(program_code $<NOT:$<BOOL:$<TARGET_PROPERTY:SOLID_FUZZ_HARNESS>>>)
    target_compile_options(solid_flags INTERFACE
      $<${program_code}:-fsanitize=address,undefined>
      $<${program_code}:-fsanitize=fuzzer-no-link>
      -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(solid_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()
