#!/usr/bin/env bash
# The whole show recorded twice, as a soak of the program: both recordings must hold the
# same frames and the same sound (hashes of the decoded streams), and the recorder's
# resident memory must not grow over the show once it has started.
#   tools/soak.sh [BUILD_DIR]      (default build; builds nyra there first)
# Prints the hashes, the peak resident memory and its steady level, and exits non-zero
# when the two recordings differ or memory grew. Takes about twice the time of one
# lossless recording (see README, Recording the show) and 3 GB of scratch disk.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source tools/packages.sh
ensurePackages "${showPackages[@]}" ffmpeg libpng-dev
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target nyra >/dev/null

scratch=$(mktemp -d /tmp/nyra-soak.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failed=0

# record N: the whole show to a lossless video, sampling VmRSS (kB) every half second.
record() {
  local out=$scratch/run$1.mkv samples=$scratch/rss$1.txt
  "$build/bin/nyra" --capture "$out" 2>"$scratch/log$1.txt" &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null >>"$samples" || true
    sleep 0.5
  done
  if ! wait "$pid"; then
    echo "soak: recording $1 failed:" >&2
    tail -n 3 "$scratch/log$1.txt" >&2
    exit 1
  fi
}

# The decoded picture and sound of a recording, each as one MD5.
hashes() {
  local video audio
  video=$(ffmpeg -v error -i "$1" -map 0:v -f md5 - | cut -d= -f2)
  audio=$(ffmpeg -v error -i "$1" -map 0:a -f md5 - | cut -d= -f2)
  echo "video $video audio $audio"
}

declare -A hash
for run in 1 2; do
  echo "recording the whole show ($run of 2)..."
  record "$run"
  hash[$run]=$(hashes "$scratch/run$run.mkv")
  echo "  ${hash[$run]} frames $(ffprobe -v error -count_packets -select_streams v \
    -show_entries stream=nb_read_packets -of csv=p=0 "$scratch/run$run.mkv")"
done
if [ "${hash[1]}" = "${hash[2]}" ]; then
  echo "same frames and sound in both recordings: yes"
else
  echo "same frames and sound in both recordings: NO" >&2
  failed=1
fi

# Memory: the peak over the run, and the steady level (median) of the first and the last
# quarter after the first ten seconds of start-up; growth over the show is the difference.
for run in 1 2; do
  awk -v run="$run" '
    { v[NR] = $1; if ($1 > peak) peak = $1 }
    function median(from, to,   n, i, j, t, a) {
      n = 0; for (i = from; i <= to; ++i) a[++n] = v[i]
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return a[int((n + 1) / 2)]
    }
    END {
      start = 21; if (NR < start + 8) { print "  run " run ": too few samples (" NR ")"; exit 1 }
      quarter = int((NR - start) / 4)
      early = median(start, start + quarter); late = median(NR - quarter, NR)
      printf "  run %d: resident memory peak %.1f MB, steady %.1f MB early and %.1f MB late (%+.1f MB)\n",
             run, peak / 1024, early / 1024, late / 1024, (late - early) / 1024
      if (late - early > 4096) exit 2
    }' "$scratch/rss$run.txt" || { echo "soak: resident memory grew in run $run" >&2; failed=1; }
done
[ $failed -eq 0 ] && echo "soak: passed"
exit $failed
