# Warnings for our own targets only (third-party headers are included as system headers).
function(tav_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  # GCC 12 reports std::string concatenations as overlapping copies once they are inlined at -O3
  # (a known false positive of its -Wrestrict); it would break every optimised build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
  endif()
  if(TAV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
