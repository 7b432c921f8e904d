#!/usr/bin/env bash
# Build and play the show: full screen by default; options go to the launcher
# (./run.sh --windowed, ./run.sh --help).
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensurePackages "${showPackages[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target nyra
exec build/bin/nyra "$@"
