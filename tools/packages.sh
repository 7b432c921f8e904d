# Sourced by ./test.sh and ./run.sh: makes sure the Debian packages they need are
# present, installing them when running as root.

# What building and playing the show needs.
showPackages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev libsdl2-dev libpng-dev
              libfreetype-dev fonts-dejavu-core)
# What recording the show to a video needs (./run.sh with no display installs it).
capturePackages=(ffmpeg)
# What the tests need besides: a virtual X server, the Windows cross compiler and the
# video encoder the capture tests record through.
testPackages=(xvfb xauth g++-mingw-w64-x86-64-win32 "${capturePackages[@]}")

# ensurePackages PACKAGE...
ensurePackages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}
