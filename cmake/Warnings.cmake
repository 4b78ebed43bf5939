# Strict warnings for every target of the project, applied through one
# interface library so third-party code (GoogleTest, Benchmark) is unaffected.
# A target turns one off for all its sources (a false report from a
# third-party header it uses) by listing the -Wno- option in its
# PNDHAL_WARNING_EXCEPTIONS property, which comes after the list.
add_library(pndhal_warnings INTERFACE)
target_compile_options(pndhal_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations
  -Wnull-dereference -Wundef
  $<TARGET_PROPERTY:PNDHAL_WARNING_EXCEPTIONS>)
if(PNDHAL_WERROR)
  target_compile_options(pndhal_warnings INTERFACE -Werror)
endif()
