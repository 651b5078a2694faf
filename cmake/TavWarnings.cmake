# Warnings for our own targets only (third-party headers are included as system headers).
function(tav_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TAV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
