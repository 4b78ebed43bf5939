# Sanitizer builds instrument every target, libraries included, so that the
# simulator, the HAL and the tests share one instrumented runtime.
#
# Code asks whether it runs under a sanitizer with GCC's macros
# (__SANITIZE_ADDRESS__, __SANITIZE_THREAD__); a compiler that does not
# define them for its sanitizers (clang 14) gets them from the build.
include(CheckCXXSourceCompiles)

# pndhal_sanitize(MACRO FLAG...): builds everything with FLAG..., and defines
# MACRO where the compiler does not.
function(pndhal_sanitize macro)
  add_compile_options(${ARGN} -fno-omit-frame-pointer)
  add_link_options(${ARGN})
  string(JOIN " " CMAKE_REQUIRED_FLAGS ${ARGN})
  set(CMAKE_REQUIRED_LINK_OPTIONS ${ARGN})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("#ifndef ${macro}\n#error\n#endif\nint main() { return 0; }"
    PNDHAL_COMPILER_DEFINES${macro})
  if(NOT PNDHAL_COMPILER_DEFINES${macro})
    add_compile_definitions(${macro}=1)
  endif()
endfunction()

if(PNDHAL_SANITIZE STREQUAL "address")
  pndhal_sanitize(__SANITIZE_ADDRESS__ -fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(PNDHAL_SANITIZE STREQUAL "thread")
  pndhal_sanitize(__SANITIZE_THREAD__ -fsanitize=thread)
elseif(NOT PNDHAL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "PNDHAL_SANITIZE must be '', 'address' or 'thread'")
endif()
