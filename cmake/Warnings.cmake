# Warnings for our own targets only; third-party headers come in as system headers.
# Errors are for development and CI (tools/test.sh turns them on); a packager's plain configure
# with another compiler or optimisation level must not fail on a new warning.
option(VARIM_WARNINGS_AS_ERRORS "Treat compiler warnings in the project's own code as errors" OFF)

function(varim_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VARIM_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
