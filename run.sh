#!/usr/bin/env bash
# Build and play the show: full screen by default; options go to the launcher
# (./run.sh --windowed, ./run.sh --help). On a machine with no display (neither DISPLAY
# nor WAYLAND_DISPLAY set, or SDL told to use a driver that shows nothing), ./run.sh
# with no options records the whole show to build/show.mp4 instead.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

hasDisplay() {
  case "${SDL_VIDEODRIVER:-}" in
    [Dd][Uu][Mm][Mm][Yy] | [Oo][Ff][Ff][Ss][Cc][Rr][Ee][Ee][Nn]) return 1 ;;
  esac
  [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

record=0
if [ $# -eq 0 ] && ! hasDisplay; then record=1; fi

if [ $record -eq 1 ]; then
  ensurePackages "${showPackages[@]}" "${capturePackages[@]}"
else
  ensurePackages "${showPackages[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target nyra

if [ $record -eq 0 ]; then exec build/bin/nyra "$@"; fi

video="build/show.mp4"
echo "run.sh: no display here, so the show is recorded to $video instead of played"
echo "run.sh: (with a display, ./run.sh plays it; ./run.sh --help lists the recording options)"
build/bin/nyra --capture "$video"
echo "run.sh: the recording is $(pwd)/$video"
