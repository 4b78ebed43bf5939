#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a consumer
# through find_package and the same consumer through pkg-config.
set -euo pipefail
build_dir=$1 consumer_dir=$2 work=$3 compiler=$4
rm -rf "$work"
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

cmake -S "$consumer_dir" -B "$work/cmake-consumer" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
"$work/cmake-consumer/consumer"

# A test harness built on the installed console client (pndhal::console): with no device running it says
# so and exits 2.
cmake -S "$consumer_dir/../../../examples/console_client" -B "$work/harness" -G Ninja \
  -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/harness" >/dev/null
set +e
said=$(XDG_RUNTIME_DIR="$work/no-devices" "$work/harness/harness" 2>&1)
status=$?
set -e
[ "$status" -eq 2 ] && [ "$said" = "harness: no device with an open console is running" ] ||
  { echo "the harness answered $status: $said"; exit 1; }

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046 # the flags are meant to split
"$compiler" -std=c++20 "$consumer_dir/consumer.cpp" -o "$work/pkg-consumer" $(pkg-config --cflags --libs pndhal pndsim)
"$work/pkg-consumer"

# An application of the library alone sees the HAL, not the simulator's control headers.
printf '#include <pndhal/pndhal.h>\nint main() { InitHAL(); FreeDLL(); }\n' >"$work/hal-only.cpp"
# shellcheck disable=SC2046
"$compiler" -std=c++20 "$work/hal-only.cpp" -o "$work/hal-only" $(pkg-config --cflags --libs pndhal)
"$work/hal-only"
printf '#include <pndsim/pndsim.h>\nint main() {}\n' >"$work/sim-without-sim.cpp"
# shellcheck disable=SC2046
if "$compiler" -std=c++20 -c "$work/sim-without-sim.cpp" -o /dev/null $(pkg-config --cflags pndhal) 2>/dev/null; then
  echo "the control headers reached an application of the library alone"
  exit 1
fi
