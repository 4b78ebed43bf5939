#!/usr/bin/env bash
# Builds examples/app against an installed pndhal, starts it with its device's console open, plays
# examples/app/low_battery.scn against it with `pndhal run --attach`, and checks that the application's
# own listeners heard what the scenario expected; then runs the example's own CTest tests (registered with
# pndhal_add_scenario_tests, each launching the application) and checks their JUnit report; and checks
# that the install carries the documentation, the examples and the man page.
set -euo pipefail
build_dir=$1 app_dir=$2 work=$3 compiler=$4
rm -rf "$work"
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
cmake -S "$app_dir" -B "$work/app" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/app" >/dev/null

# A home and runtime folder of the test's own: the console's token and discovery records live there.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"

mkfifo "$work/app-input"
PNDSIM_CONSOLE=auto "$work/app/navapp" <"$work/app-input" >"$work/app-output" 2>&1 &
app=$!
exec 3>"$work/app-input"
trap 'exec 3>&-; kill $app 2>/dev/null || true' EXIT

# The application announces its device once its console is open (polled, at most five seconds).
for _ in $(seq 100); do
  "$prefix/bin/pndhal" devices | grep -q "^$app " && break
  sleep 0.05
done
"$prefix/bin/pndhal" devices | grep -q "^$app " || { echo "navapp did not open its console"; exit 1; }

"$prefix/bin/pndhal" run --attach "$app" --time-scale 50 "$app_dir/low_battery.scn"

# A harness on the installed C++ client (examples/console_client) drives the same device.
cmake -S "$app_dir/../console_client" -B "$work/harness" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/harness" >/dev/null
"$work/harness/harness" "$app" >"$work/harness-output"
grep -q '^expect power 30: OK$' "$work/harness-output" || { echo "the harness failed:"; cat "$work/harness-output"; exit 1; }
grep -q '^event {"type":"listener","kind":"power","call":"power 30 ' "$work/harness-output" ||
  { echo "the harness saw no power event:"; cat "$work/harness-output"; exit 1; }

exec 3>&-
wait $app
trap - EXIT
for heard in "app: power 5% state 0" "app: key 10" "app: card SD-Karte mounted" "app: stopped"; do
  grep -qF "$heard" "$work/app-output" || { echo "navapp did not print: $heard"; cat "$work/app-output"; exit 1; }
done

# The example's scenario tests, as its team runs them in CI.
ctest --test-dir "$work/app" -j 2 --output-on-failure --output-junit "$work/junit.xml"
grep -q '<testcase name="navapp.low_battery"' "$work/junit.xml" || { echo "no test case in the report"; exit 1; }
grep -q 'status="run"' "$work/junit.xml" || { echo "the scenario test did not run"; cat "$work/junit.xml"; exit 1; }
if grep -q '<failure' "$work/junit.xml"; then cat "$work/junit.xml"; exit 1; fi
[ -z "$(ls -A "$TMPDIR")" ] || { echo "the launched application left files behind:"; ls -A "$TMPDIR"; exit 1; }

# The example's Python tests, through the installed Python client (when pytest is there to run them).
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if "$python" -c "import pytest" 2>/dev/null; then
  PYTHONPATH="$prefix/lib/python3/dist-packages" "$python" -m pytest -q -p no:cacheprovider -p pndhal.pytest_plugin \
    --pndhal-launch "$work/app/navapp" --pndhal-time-scale 100 "$app_dir/test_navapp.py"
else
  echo "the example's Python tests were skipped: pytest is not installed (apt-get install python3-pytest)"
fi

# The Python client builds as a wheel offline (with Debian's setuptools), from a copy of its folder.
if "$python" -c "import setuptools" 2>/dev/null && "$python" -m pip --version >/dev/null 2>&1; then
  cp -r "$app_dir/../../python" "$work/python-src"
  "$python" -m pip wheel -q --no-deps --no-build-isolation --no-index -w "$work/wheel" "$work/python-src"
  listing=$("$python" -m zipfile -l "$work"/wheel/pndhal-*.whl)
  grep -q "pndhal/console.py" <<<"$listing" || { echo "the wheel lacks the client"; exit 1; }
fi

# What the install carries for application teams.
for file in share/doc/pndhal/testing.md share/doc/pndhal/scenarios.md share/man/man1/pndhal.1 \
  share/doc/pndhal/events.schema.json lib/python3/dist-packages/pndhal/__init__.py \
  lib/python3/dist-packages/pndhal/pytest_plugin.py share/pndhal/examples/app/test_navapp.py \
  share/pndhal/examples/scenarios/power.scn share/pndhal/examples/app/low_battery.scn; do
  [ -f "$prefix/$file" ] || { echo "the install lacks $file"; exit 1; }
done
grep -q '^\.SS "pndhal run"' "$prefix/share/man/man1/pndhal.1" || { echo "the man page lacks run"; exit 1; }
