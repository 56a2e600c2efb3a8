# One place for the warning flags of every target of the project.
function(pellam_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor)
  if(PELLAM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
