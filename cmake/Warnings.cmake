# Strict warnings for every target of the project, applied through one
# interface library so third-party code (GoogleTest, Benchmark) is unaffected.
add_library(pndhal_warnings INTERFACE)
target_compile_options(pndhal_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations
  -Wnull-dereference -Wundef)
if(PNDHAL_WERROR)
  target_compile_options(pndhal_warnings INTERFACE -Werror)
endif()
