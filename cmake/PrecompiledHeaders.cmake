# The standard headers nearly every source of the libraries includes, compiled once a target instead of
# once a source: on a two-core machine a cold build of the libraries spends a good part of its time reading
# them again. A source still includes what it uses; the lint preset, which turns precompiled headers off,
# compiles every file without them.
set(PNDHAL_COMMON_STANDARD_HEADERS
  <algorithm> <array> <atomic> <chrono> <condition_variable> <cstdint> <cstdio> <cstring> <deque>
  <functional> <map> <memory> <mutex> <optional> <set> <string> <string_view> <thread> <utility> <vector>)

# pndhal_precompile_standard_headers(TARGET): gives TARGET the common standard headers, precompiled.
function(pndhal_precompile_standard_headers target)
  target_precompile_headers(${target} PRIVATE ${PNDHAL_COMMON_STANDARD_HEADERS})
endfunction()

# A precompiled header is read by the compiler, not through the preprocessor, so the compiler cache would
# pass such sources on uncached unless told that the header's macros and timestamps do not matter.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(CMAKE_CXX_COMPILER_LAUNCHER
    ${CMAKE_COMMAND} -E env CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
