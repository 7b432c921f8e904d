#!/usr/bin/env bash
# The player's speed against a general module player, side by side in one run:
# xm2wav and `xmp -i linear` each render the same busy modules (4, 8 and 20 channels,
# made by busymod) to WAV files, whole process timed, the two alternating within each
# round so that the machine's swings hit both; each round also runs the offline-render
# benchmark once. Prints medians and bests. Runs on one core (taskset) when it can.
#
#   tools/player-vs-xmp.sh [ROUNDS] [BUILD_DIR]     (defaults: 7, build)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
bin=${2:-build}/bin
for tool in xm2wav busymod nyra_bench; do
  [ -x "$bin/$tool" ] || { echo "missing $bin/$tool: build first (cmake --build build)" >&2; exit 2; }
done
if ! command -v xmp >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xmp >/dev/null
  else echo "xmp missing: sudo apt-get install -y xmp" >&2; exit 2; fi
fi
pin=()
command -v taskset >/dev/null && pin=(taskset -c "$(( $(nproc) - 1 ))")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
channels=(4 8 20)
orders=24 # 24 patterns of 7.68 s: 184 s of audio each
for c in "${channels[@]}"; do "$bin/busymod" "$c" "$orders" "$work/busy$c.xm"; done

# timeMs OUT COMMAND...: wall milliseconds of one run writing OUT, printed output
# discarded. OUT is removed first, untimed, so that each run writes a new file (rewriting
# a truncated one would add the file system's flush on close to either side).
timeMs() {
  rm -f "$1"
  shift
  local start=$EPOCHREALTIME
  "${pin[@]}" "$@" >/dev/null 2>&1
  local end=$EPOCHREALTIME
  echo $(( (${end/./} - ${start/./}) / 1000 ))
}

declare -A times
for (( r = 1; r <= rounds; r++ )); do
  for c in "${channels[@]}"; do
    m="$work/busy$c.xm"
    if (( r % 2 )); then
      times[xm2wav$c]+="$(timeMs "$work/a.wav" "$bin/xm2wav" "$m" "$work/a.wav") "
      times[xmp$c]+="$(timeMs "$work/b.wav" xmp -q --nocmd --norc -i linear -o "$work/b.wav" "$m") "
    else
      times[xmp$c]+="$(timeMs "$work/b.wav" xmp -q --nocmd --norc -i linear -o "$work/b.wav" "$m") "
      times[xm2wav$c]+="$(timeMs "$work/a.wav" "$bin/xm2wav" "$m" "$work/a.wav") "
    fi
  done
  x=$(SDL_VIDEODRIVER=dummy "${pin[@]}" "$bin/nyra_bench" --benchmark_filter='^BM_OfflineRenderBusyModule$' \
        --benchmark_format=csv 2>/dev/null | awk -F, 'NR > 1 && /BM_OfflineRenderBusyModule/ { print $NF }')
  times[bench]+="$(printf '%.0f' "$x") "
  echo "round $r of $rounds done" >&2
done

# stats VALUES...: "median best" (best = smallest).
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[1] }'; }
# statsHigh VALUES...: "median best" (best = largest).
statsHigh() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[NR] }'; }

audio=$(awk -v o="$orders" 'BEGIN { print o * 64 * 6 * 0.02 }') # rows x ticks x 20 ms
echo
echo "whole process, $rounds rounds, ${audio} s of audio per module; ms: median (best); ms per audio second"
printf '%-9s %-22s %-22s %s\n' module xm2wav "xmp -i linear" "xmp / xm2wav (medians)"
for c in "${channels[@]}"; do
  read -r am ab <<<"$(stats ${times[xm2wav$c]})"
  read -r bm bb <<<"$(stats ${times[xmp$c]})"
  printf '%-9s %-22s %-22s %s\n' "${c}ch" \
    "$am ($ab); $(awk -v t="$am" -v a="$audio" 'BEGIN { printf "%.3f", t / a }')" \
    "$bm ($bb); $(awk -v t="$bm" -v a="$audio" 'BEGIN { printf "%.3f", t / a }')" \
    "$(awk -v a="$am" -v b="$bm" 'BEGIN { printf "%.2f", b / a }')"
done
read -r bm bb <<<"$(statsHigh ${times[bench]})"
echo "BM_OfflineRenderBusyModule: ${bm}x real time median, ${bb}x best (${times[bench]% })"
