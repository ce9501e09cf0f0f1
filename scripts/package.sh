#!/usr/bin/env bash
# Builds the Debian packages from a clean copy of the sources with
# dpkg-buildpackage and debhelper, and checks them:
#   build-package/sipcrypt_VERSION_amd64.deb          the command-line tool
#   build-package/sipcrypt-gui_VERSION_amd64.deb      the settings dialog
#   build-package/libsipcrypt0_VERSION_amd64.deb      the shared library
#   build-package/libsipcrypt-dev_VERSION_amd64.deb   its header, pkg-config and CMake files
#   build-package/python3-sipcrypt_VERSION_all.deb    the Python module
#   build-package/sipcrypt_VERSION.dsc                the source package
# lintian (pedantic, with info tags: nothing at all) on all of them,
# desktop-file-validate and appstreamcli validate on the dialog's files, the
# files each package must hold, the hardening flags recorded in the debug
# symbols, and the C example and the Python module run from the unpacked
# library packages. Install with: apt install ./build-package/sipcrypt_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package

fail() {
  echo "package: $*" >&2
  exit 1
}

rm -rf build-package
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
multiarch=$(dpkg-architecture -q DEB_HOST_MULTIARCH)
source=build-package/sipcrypt-$version
mkdir -p "$source"
# What git knows of, as it stands in the working tree, and nothing built.
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - | tar -C "$source" -xf -
(cd "$source" && dpkg-buildpackage -us -uc >../build.log 2>&1) || {
  tail -n 40 build-package/build.log >&2
  fail "the build failed (build-package/build.log)"
}
deb() { echo "build-package/$1_${version}_${2:-$arch}.deb"; }
debs=("$(deb sipcrypt)" "$(deb sipcrypt-gui)" "$(deb libsipcrypt0)" "$(deb libsipcrypt-dev)"
  "$(deb python3-sipcrypt all)")
dsc=build-package/sipcrypt_"$version".dsc
ls "${debs[@]}" "$dsc"

lintian --pedantic -I -E --fail-on error,warning,info,pedantic "${debs[@]}" "$dsc"

unpacked=build-package/unpacked
for package in "${debs[@]}"; do
  dpkg-deb -x "$package" "$unpacked"
done
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml

# Each package holds what the administrators' README says it does, where
# the shells, the linker, pkg-config, CMake and Python look for it
# (documents over 4 kB compressed, as Debian's policy asks).
expect_files() {
  local package=$1 listing path
  shift
  listing=$(dpkg-deb -c "$package" | awk '{print $6}' | sed 's,^\.,,')
  for path in "$@"; do
    grep -q -x -F "$path" <<<"$listing" || fail "$(basename "$package") lacks $path"
  done
}
lib=/usr/lib/$multiarch
expect_files "${debs[0]}" /usr/bin/sipcrypt /usr/share/man/man1/sipcrypt.1.gz \
  /usr/share/bash-completion/completions/sipcrypt /usr/share/zsh/vendor-completions/_sipcrypt \
  /usr/share/fish/vendor_completions.d/sipcrypt.fish /usr/share/doc/sipcrypt/README.md.gz \
  /usr/share/doc/sipcrypt/format.md.gz
expect_files "${debs[1]}" /usr/bin/sipcrypt-gui /usr/share/man/man1/sipcrypt-gui.1.gz
expect_files "${debs[2]}" "$lib/libsipcrypt.so.0"
expect_files "${debs[3]}" /usr/include/sipcrypt.h "$lib/libsipcrypt.so" \
  "$lib/pkgconfig/sipcrypt.pc" "$lib/cmake/sipcrypt/sipcrypt-config.cmake"
expect_files "${debs[4]}" /usr/lib/python3/dist-packages/sipcrypt/__init__.py
# The packages' README is the one for administrators, not the developers'.
zcat "$unpacked"/usr/share/doc/sipcrypt/README.md.gz | cmp -s docs/debian/README.md - ||
  fail "sipcrypt's README is not docs/debian/README.md"
# The tool alone needs nothing graphical; the dialog sends its users to it.
if dpkg-deb -f "${debs[0]}" Depends | grep -q -i -E 'qt|x11|gui'; then
  fail "the tool's package depends on something graphical"
fi
dpkg-deb -f "${debs[1]}" Recommends | grep -q -w -E 'sipcrypt( |,|$)' ||
  fail "sipcrypt-gui does not recommend sipcrypt"

# The protection debian/rules adds, as GCC recorded it in each compilation
# unit of the programs and the library (their -dbgsym packages).
if [[ $arch == amd64 ]]; then
  for package in sipcrypt sipcrypt-gui libsipcrypt0; do
    symbols=build-package/$package-dbgsym_${version}_$arch.deb
    rm -rf build-package/dbgsym
    dpkg-deb -x "$symbols" build-package/dbgsym
    producers=$(find build-package/dbgsym -name '*.debug' -type f -exec \
      readelf --debug-dump=info {} + 2>/dev/null | grep 'DW_AT_producer' | grep -v 'GNU AS' || true)
    [[ -n $producers ]] || fail "$package: no compilation units in $(basename "$symbols")"
    for flag in -fstack-clash-protection -fcf-protection; do
      if grep -v -q -e "$flag" <<<"$producers"; then
        fail "$package: a compilation unit was built without $flag"
      fi
    done
  done
fi

# The library as the packages install it: the C example built through the
# unpacked pkg-config file and through find_package(sipcrypt); the Python
# module with only libsipcrypt0 beside it, loading the library by its
# soname as it does once installed.
work=build-package/examples
mkdir -p "$work"
run_example() {
  local shown
  shown=$(SIP_KEY=secret LD_LIBRARY_PATH=$unpacked$lib "$1" alice 2>&1) || true
  [[ $shown == QPJLUKCpC3c= ]] || fail "the C example built $2 printed: $shown"
}
# shellcheck disable=SC2046  # the flags are words
cc -std=c99 -Wall -Werror docs/example.c \
  $(PKG_CONFIG_PATH=$unpacked$lib/pkgconfig pkg-config --cflags --libs sipcrypt) \
  -o "$work/example" || fail "the C example does not build through the packages' pkg-config file"
run_example "$work/example" "through the packages' pkg-config file"
{ cmake -S tests/lib/find_package -B "$work/find_package" -G Ninja -DCMAKE_PREFIX_PATH="$PWD/$unpacked/usr" \
  -DEXAMPLE="$PWD/docs/example.c" && cmake --build "$work/find_package"; } >"$work/find_package.log" 2>&1 ||
  fail "the C example does not build through the packages' CMake files ($work/find_package.log)"
run_example "$work/find_package/example" "through the packages' CMake files"

dpkg-deb -x "${debs[2]}" "$work/python"
dpkg-deb -x "${debs[4]}" "$work/python"
shown=$(env -u SIPCRYPT_LIBRARY LD_LIBRARY_PATH="$work/python$lib" python3 -I -c '
import sys
sys.path.insert(0, sys.argv[1])
import sipcrypt
print(sipcrypt.Cipher("secret", encoding="WINDOWS-1252").encrypt("alice"))
' "$work/python/usr/lib/python3/dist-packages" 2>&1) || true
[[ $shown == QPJLUKCpC3c= ]] || fail "the packaged Python module printed: $shown"

echo "package: sipcrypt, sipcrypt-gui, libsipcrypt0, libsipcrypt-dev, python3-sipcrypt and the" \
  "source: lintian, desktop-file-validate, appstreamcli validate, the files and the flags, and" \
  "the library's examples from the packages pass"
