#!/usr/bin/env bash
# Builds every artifact twice, from two clean copies of the sources at
# different paths, at different times and with different umasks, and
# compares them byte for byte: the Debian packages, the Windows programs
# and library, the MSI and the ZIP. On a difference, diffoscope shows where.
# Run by hand (some ten minutes here); the test command does not.
# Usage: scripts/check-reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package
scripts/setup.sh --windows
scripts/setup.sh --reproducible

version=$(dpkg-parsechangelog -S Version)
# The time of the last changelog entry stands for the build's, in both.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -S Timestamp)
work=$(mktemp -d /tmp/sipcrypt-reproducible-XXXXXX)
trap 'rm -rf "$work"' EXIT

# build FOLDER UMASK: the artifacts, into FOLDER/out.
build() {
  local source=$1/sipcrypt-$version
  mkdir -p "$source" "$1/out"
  git ls-files -z --cached --others --exclude-standard |
    tar --null -T - -cf - | tar -C "$source" -xf -
  (
    umask "$2"
    cd "$source"
    dpkg-buildpackage -b -us -uc >"$1/deb.log" 2>&1
    {
      cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DSIPCRYPT_BUILD_TESTS=OFF
      cmake --build build-windows
      cmake --build build-windows --target msi zip
    } >"$1/windows.log" 2>&1
  ) || { echo "reproducible: the build in $1 failed (its .log files)"; exit 1; }
  cp "$1"/*_"$version"_*.deb "$source"/build-windows/cli/sipcrypt.exe \
    "$source"/build-windows/gui/win32/sipcrypt-gui.exe "$source"/build-windows/lib/sipcrypt.dll \
    "$source"/build-windows/sipcrypt-"$version"-win64.msi \
    "$source"/build-windows/sipcrypt-"$version"-win64.zip "$1/out/"
}
build "$work/first" 022
sleep 2  # a later time
build "$work/second/elsewhere" 077

differ=0
for file in "$work/first/out"/*; do
  name=$(basename "$file")
  if cmp -s "$file" "$work/second/elsewhere/out/$name"; then
    echo "reproducible: $name identical ($(sha256sum <"$file" | cut -c1-16))"
  else
    echo "reproducible: $name DIFFERS:"
    diffoscope --text - "$file" "$work/second/elsewhere/out/$name" | head -n 40 || true
    differ=$((differ + 1))
  fi
done
exit $((differ > 0))
