#!/usr/bin/env bash
# tools/wine-smoke.sh [WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]]
#
# Shows that the Windows executable runs: nyra.exe under Wine on a 640 x 480 virtual
# screen, with a private Wine prefix and HOME, Wine's X11 driver told not to manage the
# window, and sound through an ALSA null device that also records what it is given. It
# checks that the show starts, opens the wave-out device and plays, draws frames
# (screenshots at a few points are not blank and differ), and closes by itself at the end
# of the song with exit code 0; then that xm2wav.exe under Wine writes the same WAV as the
# Linux xm2wav. Prints what it checked; exits non-zero on any failure.
#
# Builds what it needs (default build dirs: build/windows and build). Installs wine64,
# Xvfb, xwd and ImageMagick when missing and run as root. Not part of ./test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
windowsBuild=$(realpath -m "${1:-build/windows}")
linuxBuild=$(realpath -m "${2:-build}")

source tools/packages.sh
ensurePackages "${showPackages[@]}" g++-mingw-w64-x86-64-win32 wine64 xvfb xauth x11-apps imagemagick pv

failures=0
pass() { echo "  ok:   $*"; }
fail() { echo "  FAIL: $*"; failures=$((failures + 1)); }

echo "== building =="
cmake -S . -B "$windowsBuild" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DNYRA_BUILD_TESTS=OFF -DNYRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$windowsBuild" -j "$(nproc)" --target nyra xm2wav >/dev/null
cmake -S . -B "$linuxBuild" >/dev/null
cmake --build "$linuxBuild" -j "$(nproc)" --target xm2wav playedmatch >/dev/null
exe=$windowsBuild/bin/nyra.exe
echo "nyra.exe: $(stat -c %s "$exe") bytes"

# Everything Wine writes stays in one scratch folder, removed at the end with the
# virtual screen and the Wine server.
work=$(mktemp -d /tmp/nyra-wine.XXXXXX)
xvfbPid=
pvPid=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfbPid" ] && kill "$xvfbPid" 2>/dev/null
  [ -n "$pvPid" ] && stopReader
  [ -n "${NYRA_WINE_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/shots"
export HOME=$work/home WINEPREFIX=$work/prefix XDG_RUNTIME_DIR=$work/home
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY

# The only sound device is ALSA's null output. A null device takes samples as fast as
# they come, and Wine would then play the song faster than real time; so the samples
# pass through a file tap into a pipe that pv drains at exactly 44.1 kHz, 16-bit stereo,
# which paces the device as a sound card would and records what was played.
mkfifo "$work/tap.fifo"
cat >"$HOME/.asoundrc" <<EOF
pcm.!default { type plug slave { pcm "tap" format S16_LE rate 44100 channels 2 } }
pcm.tap { type file slave.pcm "null" file "$work/tap.fifo" format "raw" }
pcm.null { type null }
EOF
# Wine may open and close the device more than once; the reader opens the pipe again
# each time, until told to stop.
(while [ ! -e "$work/stop" ]; do pv -q -L 176400 <"$work/tap.fifo"; done) >"$work/played.raw" &
pvPid=$!
stopReader() {
  touch "$work/stop"
  timeout 5 sh -c ': >"$1"' sh "$work/tap.fifo" || true
  wait "$pvPid" 2>/dev/null || true
  pvPid=
}

# The screen is the show's size: Wine cannot change the mode of a virtual screen.
Xvfb -displayfd 4 -screen 0 640x480x24 -nolisten tcp 4>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfbPid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

echo "== Wine prefix =="
wineboot -i >"$work/wineboot.log" 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f >/dev/null 2>&1
wineserver -w
echo "Wine $(wine --version), display $DISPLAY (640x480x24)"

# How long the song lasts, from the Linux render: the show must close at its end.
"$linuxBuild/bin/xm2wav" data/song.xm "$work/linux.wav" >"$work/xm2wav-linux.log"
songBytes=$(($(stat -c %s "$work/linux.wav") - 44))
songSeconds=$((songBytes / 176400))
echo "song: $songSeconds s (Linux xm2wav)"

echo "== nyra.exe =="
cp "$exe" "$work/nyra.exe"
start=$(date +%s)
(cd "$work" && WINEDEBUG=+winmm timeout $((songSeconds + 90)) wine nyra.exe \
   >"$work/nyra.log" 2>&1; echo $? >"$work/nyra.exit") &
runner=$!

# Screenshots spread over the song (past the start-up's white frame).
shots=()
for percent in 10 30 50 70 90; do
  at=$((songSeconds * percent / 100))
  while [ $(($(date +%s) - start)) -lt "$at" ] && [ ! -s "$work/nyra.exit" ]; do sleep 0.2; done
  [ -s "$work/nyra.exit" ] && break
  shot=$work/shots/at-${at}s.png
  xwd -root -silent -display "$DISPLAY" | convert xwd:- "$shot"
  shots+=("$shot")
done
wait "$runner"
stopReader
elapsed=$(($(date +%s) - start))
status=$(cat "$work/nyra.exit")

echo "checks:"
grep -q "waveOutOpen" "$work/nyra.log" && pass "wave-out opened (winmm trace)" || fail "no waveOutOpen in the winmm trace"
writes=$(grep -c "trace:winmm:waveOutWrite (" "$work/nyra.log" || true)
polls=$(grep -c "trace:winmm:waveOutGetPosition" "$work/nyra.log" || true)
[ "$writes" -ge 1 ] && pass "ring written to wave-out ($writes waveOutWrite)" || fail "nothing written to wave-out"
[ "$polls" -ge 100 ] && pass "play position polled $polls times" || fail "play position polled $polls times"
# What the device played, against the Linux render of the song: from the first sound
# on, frame for frame, until the show stopped the device (short gaps of silence that
# Wine writes when the device runs dry are skipped and counted).
playedBytes=$(stat -c %s "$work/played.raw" 2>/dev/null || echo 0)
playedSeconds=$((playedBytes / 176400))
if [ "$playedSeconds" -ge $((songSeconds - 5)) ]; then
  pass "the device played $playedSeconds s of sound ($playedBytes bytes at 44.1 kHz, 16-bit stereo)"
else
  fail "the device played $playedSeconds s of sound, the song lasts $songSeconds s"
fi
if match=$("$linuxBuild/bin/playedmatch" "$work/played.raw" "$work/linux.wav"); then
  pass "what it played is the song as Linux xm2wav renders it: $match"
else
  fail "what it played is not the song: $match"
fi

[ ${#shots[@]} -ge 4 ] && pass "${#shots[@]} screenshots taken during the show" \
                       || fail "only ${#shots[@]} screenshots before the show ended"
previous=
for shot in "${shots[@]}"; do
  colours=$(identify -format %k "$shot")
  name=$(basename "$shot")
  [ "$colours" -ge 64 ] && pass "$name: $colours colours" || fail "$name: $colours colours (blank?)"
  if [ -n "$previous" ]; then
    differing=$(compare -metric AE "$previous" "$shot" null: 2>&1 || true)
    [ "${differing%% *}" != 0 ] && pass "$name differs from $(basename "$previous") ($differing pixels)" \
                                || fail "$name is the same picture as $(basename "$previous")"
  fi
  previous=$shot
done

[ "$status" = 0 ] && pass "nyra.exe exited with code 0" || fail "nyra.exe exited with code $status (124: killed at the time limit)"
if [ "$elapsed" -ge $((songSeconds - 5)) ] && [ "$elapsed" -le $((songSeconds + 60)) ]; then
  pass "closed by itself after $elapsed s (song: $songSeconds s)"
else
  fail "ran $elapsed s, song: $songSeconds s"
fi
grep -qi "err:\|MessageBox" "$work/nyra.log" && echo "  note: Wine reported: $(grep -i 'err:' "$work/nyra.log" | sort -u | head -3)"

echo "== xm2wav.exe =="
cp "$windowsBuild/bin/xm2wav.exe" data/song.xm "$work/"
(cd "$work" && wine xm2wav.exe song.xm windows.wav >"$work/xm2wav-windows.log" 2>&1) || true
if cmp -s "$work/linux.wav" "$work/windows.wav"; then
  pass "xm2wav.exe under Wine wrote the same WAV as Linux xm2wav ($(stat -c %s "$work/windows.wav") bytes)"
else
  fail "xm2wav.exe WAV differs from Linux xm2wav ($(cmp "$work/linux.wav" "$work/windows.wav" 2>&1 | head -1))"
fi

if [ -n "${NYRA_WINE_SHOTS:-}" ]; then
  mkdir -p "$NYRA_WINE_SHOTS" && cp "${shots[@]}" "$NYRA_WINE_SHOTS/"
  echo "screenshots copied to $NYRA_WINE_SHOTS"
fi
if [ "$failures" -eq 0 ]; then
  echo "wine-smoke: all checks passed"
else
  echo "wine-smoke: $failures check(s) failed"
  exit 1
fi
