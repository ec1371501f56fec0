# Warnings for our own targets only; third-party headers come in as system headers.
function(varim_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
