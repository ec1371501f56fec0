# Optional instrumented builds. VARIM_SANITIZE builds every target with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report. VARIM_BUILD_FUZZERS (clang only)
# adds the coverage instrumentation libFuzzer steers by and the fuzz targets of fuzz/.
option(VARIM_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VARIM_BUILD_FUZZERS "Build the libFuzzer targets (clang, implies VARIM_SANITIZE)" OFF)

if(VARIM_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VARIM_BUILD_FUZZERS needs clang (CXX=clang++)")
  endif()
  set(VARIM_SANITIZE ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VARIM_SANITIZE)
  set(varim_sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${varim_sanitizer_flags})
  add_link_options(${varim_sanitizer_flags})
  # A sanitized program cannot be linked statically, so the static guest executables and the
  # QEMU tests that run them are left to the plain build.
  if(VARIM_BUILD_STATIC_CLI)
    message(STATUS "varim: sanitizers on, static guest executables and QEMU tests left out")
    set(VARIM_BUILD_STATIC_CLI OFF)
  endif()
endif()
