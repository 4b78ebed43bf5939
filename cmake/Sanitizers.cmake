# Sanitizer builds instrument every target, libraries included, so that the
# simulator, the HAL and the tests share one instrumented runtime.
if(PNDHAL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(PNDHAL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT PNDHAL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "PNDHAL_SANITIZE must be '', 'address' or 'thread'")
endif()
