#!/usr/bin/env bash
# Installs the Debian 12 packages that sipcrypt's build and tests need.
# Quick and quiet when everything is already there; safe to run again.
#   scripts/setup.sh           build, test and run everything on Linux
#   scripts/setup.sh --bench   also what the benchmarks compare against
#   scripts/setup.sh --fuzz    also clang and its fuzzing runtime
#   scripts/setup.sh --windows also the cross compiler, Wine, the MSI tools,
#                              osslsigncode and Xvfb
#   scripts/setup.sh --package also what builds and checks the Debian package
#   scripts/setup.sh --reproducible also diffoscope, for check-reproducible.sh
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config python3
  libgtest-dev libcli11-dev valgrind strace
  # The dialog: Qt 6 Widgets with its platform plugins, and a font, so that
  # text renders on a bare machine and in the offscreen tests.
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
  # The library's checks (its Python module, its ABI), and the files whose
  # access lists, extended attributes and chattr flags -o heeds.
  python3-pytest abigail-tools acl attr e2fsprogs
  # The completions' tests, each in its own shell.
  zsh fish
)
case "${1:-}" in
  --bench) packages+=(libbenchmark-dev libssl-dev python3-pycryptodome time) ;;
  --fuzz) packages+=(clang libclang-rt-14-dev) ;;
  --windows)
    packages+=(g++-mingw-w64-x86-64-posix wine wine64 wixl msitools osslsigncode openssl
      zip unzip xvfb xdotool)
    ;;
  --package) packages+=(dpkg-dev debhelper dh-python bash-completion lintian desktop-file-utils appstream) ;;
  --reproducible) packages+=(diffoscope-minimal) ;;
esac

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  as_root=(false)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ "${as_root[*]}" == false ]]; then
  echo "setup: need root (or sudo) to install: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}"
