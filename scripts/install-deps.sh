#!/usr/bin/env bash
# Installs, with apt-get, whatever a fresh Debian 12 machine lacks for building and testing the
# whole project. Idempotent: when every package is present it only checks and returns at once.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config
  clang libclang-rt-14-dev          # libFuzzer targets and the sanitizer runtime
  clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-qpa-plugins                   # the window's platforms: xcb, and offscreen for its tests
  xvfb xauth xdotool                # the desktop program's tests under a real X server
  imagemagick                       # scripts/screenshot.sh grabs the window with import
  librsvg2-bin                      # scripts/make-icons.sh renders the icon's PNG sizes
  libssl-dev openssl ca-certificates
  python3                           # the test tools' helpers
  util-linux procps                 # flock, mount, kill for the fault-injection tests
  xdg-utils
  tinyproxy-bin                     # a real HTTP proxy for the external-address tests
  desktop-file-utils appstream      # the installed desktop entry and metadata are validated
  dpkg-dev fakeroot file            # cpack -G DEB: dpkg-shlibdeps computes the dependencies
  lintian                           # checks the Debian package
  man-db groff-base bsdextrautils   # the manual pages are checked with man, groff and col
)

missing=()
for p in "${packages[@]}"; do
  # A package counts as present only when dpkg reports it fully installed.
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: everything is present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
