#!/usr/bin/env bash
# Builds one libFuzzer target (clang 14, address and undefined-behaviour sanitizers) and
# runs it for a time, from its seed corpus in tests/fuzz/corpus/NAME.
#   tools/fuzz.sh --list            the target names, one a line
#   tools/fuzz.sh NAME SECONDS [LIBFUZZER_OPTION...]
# The growing corpus is kept in build-fuzz/corpus/NAME, inputs that fail in
# build-fuzz/findings/NAME/; the last lines of the run (executions, cov:) are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(loader pcx render options)

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${targets[@]}"
  exit 0
fi
if [ $# -lt 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh --list | tools/fuzz.sh NAME SECONDS [LIBFUZZER_OPTION...]" >&2
  exit 2
fi
name=$1 seconds=$2
shift 2
if ! printf '%s\n' "${targets[@]}" | grep -qx "$name"; then
  echo "fuzz.sh: no target '$name' (tools/fuzz.sh --list names them)" >&2
  exit 2
fi

source tools/packages.sh
ensurePackages "${showPackages[@]}" clang-14 libpng-dev

build=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNYRA_FUZZ=ON \
  -DNYRA_SANITIZE=address,undefined -DNYRA_BUILD_TESTS=OFF -DNYRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "fuzz_$name"

corpus=$build/corpus/$name findings=$build/findings/$name
mkdir -p "$corpus" "$findings"
# The render target's inputs each play for seconds of audio: give each one time.
limits=(-timeout=25 -rss_limit_mb=4096)
[ "$name" = render ] && limits=(-timeout=120 -rss_limit_mb=4096)
log=$build/fuzz-$name.log
set +e
"$build/bin/fuzz_$name" "$corpus" "tests/fuzz/corpus/$name" -max_total_time="$seconds" \
  -artifact_prefix="$findings/" -print_final_stats=1 "${limits[@]}" "$@" 2>"$log"
status=$?
set -e
grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -n 1 || true
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
if [ $status -ne 0 ]; then
  echo "fuzz.sh: $name found a failure (exit $status); see $log and $findings/" >&2
  grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -n 5 >&2 || true
fi
exit $status
