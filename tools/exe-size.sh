#!/usr/bin/env bash
# tools/exe-size.sh [WINDOWS_BUILD_DIR]: what takes the room in nyra.exe. Links the
# executable once more with a link map (same objects and flags, default build dir
# build/windows) and adds up the bytes each input brings into the file's sections: the
# project's code and constants per folder, the embedded pack, the runtime (MinGW's C
# runtime start-up, libgcc, the import stubs), and the rest of the file (import tables,
# PE headers, section alignment). Zero-filled data (.bss) takes no room and is left out.
set -euo pipefail
build=$(realpath -m "${1:-build/windows}")
exe=$build/bin/nyra.exe
map=$(mktemp /tmp/nyra-map.XXXXXX)
trap 'rm -f "$map" "$map.exe"' EXIT
link=$(sed -n '/x86_64-w64-mingw32-g++/p' "$build/shell/CMakeFiles/nyra.dir/link.txt")
link=${link/ -s / -Wl,-Map=$map }
link=${link/-o ..\/bin\/nyra.exe/-o $map.exe}
link=$(echo "$link" | sed 's/-Wl,--out-implib,[^ ]*//')
(cd "$build/shell" && eval "$link")

awk -v total="$(stat -c %s "$exe")" '
  function hex(text,   i, value) {
    value = 0
    for (i = 3; i <= length(text); ++i) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
    return value
  }
  /^Linker script and memory map/ { inMap = 1; next }
  !inMap { next }
  /^ [.A-Za-z]/ && NF == 1 { pending = $1; next }
  {
    if ($1 ~ /^\./ && NF >= 4 && $2 ~ /^0x/) { section = $1; size = $3; file = $4 }
    else if (pending != "" && $1 ~ /^0x/ && NF >= 3) { section = pending; size = $2; file = $3 }
    else { pending = ""; next }
    pending = ""
    if (section ~ /^\.(bss|debug)/ || section ~ /COMMON/) next
    bytes = hex(size)
    if (bytes == 0) next
    if (file ~ /libdata\.a/) what = "embedded data (the pack)"
    else if (file ~ /libdatapack\.a/) what = "data/ (the unpacker)"
    else if (match(file, /\.\.\/lib\/lib[a-z]+\.a/)) what = substr(file, RSTART + 10, RLENGTH - 12) "/"
    else if (file ~ /objects\.a|CMakeFiles\/nyra/) what = "shell/"
    else if (section ~ /^\.idata/ || file ~ /libd3d8|libkernel32|libuser32|libwinmm/) what = "import tables"
    else if (file ~ /pformat|gdtoa|dmisc|gmisc|_a-misc|vsnprintf|mbrtowc|wcrtomb|strnlen|wcsnlen|fmode/)
      what = "runtime: printf formatting"
    else if (file ~ /emutls|gthr/) what = "runtime: thread_local support"
    else if (file ~ /libmingwex\.a\(lib64_libmingwex_a-(pow|powi|sin|cos|cossin|sqrt|exp2l|log2l|ldexp|nearbyint|[a-z]+l_internal)\.o/)
      what = "runtime: maths (sin, cos, pow, sqrt)"
    else what = "runtime: C runtime start-up and the rest"
    sum[what] += bytes
    used += bytes
  }
  END {
    for (w in sum) printf "%-60s %7d\n", w, sum[w] | "sort -k1,1"
    close("sort -k1,1")
    printf "%-60s %7d\n", "PE headers, section alignment", total - used
    printf "%-60s %7d\n", "nyra.exe", total
  }' "$map"
