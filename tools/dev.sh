#!/usr/bin/env bash
# Set-up for a fresh Debian machine: installs what is missing, builds, then
#   run   starts Update against the built-in simulated switch; without a
#         display, a headless demo of the quorlink tool on that switch instead
#   test  runs the whole test suite, with a syntax check of the Windows code
#         paths by the MinGW cross compiler and lintian on the Debian package
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
          libgl-dev fonts-dejavu-core)
# The test windows_syntax compiles the Windows code paths with it, and
# package_lintian checks the Debian package with lintian; install_and_run
# reads the manual pages with man.
if [[ ${1:-run} == test ]]; then
  packages+=(g++-mingw-w64-x86-64-posix lintian man-db)
fi
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLINK_WARNINGS_AS_ERRORS=ON
cmake --build "$build_dir" -j"$(nproc)"

case "${1:-run}" in
  run)
    shift || true
    if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
      # No display (a server, a container): the same switch and the same
      # operations through the command-line tool instead of a window.
      quorlink=$build_dir/bin/quorlink
      sample="$build_dir/bin/samples/qdx_rem108_e.hex"
      echo "No display: a headless demo of quorlink on the built-in simulated switch." >&2
      echo
      echo "\$ quorlink versions --simulate --cards 2-8"
      "$quorlink" versions --simulate --cards 2-8
      echo
      echo "\$ quorlink update \"$sample\" --simulate --cards 2-8 --yes"
      "$quorlink" update "$sample" --simulate --cards 2-8 --yes
      exit
    fi
    exec "$build_dir/bin/Update" --simulate "$@"
    ;;
  test)
    cd "$build_dir"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure
    ;;
  *)
    echo "usage: tools/dev.sh [run|test]" >&2
    exit 2
    ;;
esac
