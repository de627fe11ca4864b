# Address and undefined-behaviour sanitizers for the whole build (the asan preset).
if(QEL_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "QEL_SANITIZE is supported with GCC and Clang only")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
