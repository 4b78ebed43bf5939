# Clang's thread-safety analysis over the lock annotations (platform/sim/kernel/thread_annotations.h in the
# simulator, runtime/thread_annotations.h in the HAL): which lock guards a field, which lock a function needs.
# With PNDHAL_THREAD_SAFETY_ANALYSIS on (the preset thread-safety does it), every target with the project's
# warnings is compiled with the analysis and a finding fails the build. Other compilers see empty annotations.
option(PNDHAL_THREAD_SAFETY_ANALYSIS "Check the lock annotations with Clang's thread-safety analysis" OFF)
if(PNDHAL_THREAD_SAFETY_ANALYSIS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PNDHAL_THREAD_SAFETY_ANALYSIS needs clang: configure with CMAKE_CXX_COMPILER=clang++")
  endif()
  target_compile_options(pndhal_warnings INTERFACE -Wthread-safety -Wthread-safety-beta -Werror=thread-safety
                                                   -Werror=thread-safety-beta)
endif()
