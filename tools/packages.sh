# Sourced by ./test.sh and ./run.sh: makes sure the Debian packages the build needs are
# present, installing them when running as root.
nyraPackages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev libsdl2-dev
              libfreetype-dev fonts-dejavu-core xvfb xauth)

ensurePackages() {
  local missing=()
  for p in "${nyraPackages[@]}"; do
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
