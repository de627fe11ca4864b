# Warning options for every target of the project (not for third-party code).
function(qel_set_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${QEL_WARNINGS_AS_ERRORS}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Wformat=2 -Wimplicit-fallthrough
      $<$<BOOL:${QEL_WARNINGS_AS_ERRORS}>:-Werror>)
  endif()
endfunction()
