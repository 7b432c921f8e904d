#!/usr/bin/env bash
# Build and run every test: once optimised, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensurePackages

jobs=$(nproc 2>/dev/null || echo 2)
export SDL_AUDIODRIVER=dummy

# runSuite BUILD_DIR CTEST_ARGS...; cmake arguments in cmakeArgs, build targets in
# buildTargets (empty: everything).
runSuite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "${cmakeArgs[@]}" >/dev/null
  local targetArgs=()
  for t in "${buildTargets[@]}"; do targetArgs+=(--target "$t"); done
  cmake --build "$dir" -j "$jobs" "${targetArgs[@]}"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}
buildTargets=()

echo "== optimised build =="
cmakeArgs=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
runSuite build

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
cmakeArgs=(-DCMAKE_BUILD_TYPE=Debug -DNYRA_SANITIZE=address,undefined -DNYRA_BUILD_BENCH=OFF)
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 runSuite build/sanitize

echo "== ThreadSanitizer build (threaded tests) =="
cmakeArgs=(-DCMAKE_BUILD_TYPE=Debug -DNYRA_SANITIZE=thread -DNYRA_BUILD_BENCH=OFF)
if [ -d tests/threaded ]; then
  buildTargets=(test_threaded)
  runSuite build/tsan -L threaded
fi
