# Sanitizers for the whole build: address and undefined behaviour (the asan preset), or threads
# (the tsan preset, for the station's downloads in threads). The two cannot be combined.
if(QEL_SANITIZE OR QEL_SANITIZE_THREAD)
  if(MSVC)
    message(FATAL_ERROR "QEL_SANITIZE and QEL_SANITIZE_THREAD are supported with GCC and Clang only")
  endif()
endif()
if(QEL_SANITIZE AND QEL_SANITIZE_THREAD)
  message(FATAL_ERROR "QEL_SANITIZE and QEL_SANITIZE_THREAD exclude each other")
endif()
if(QEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QEL_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
