#!/usr/bin/env bash
# Builds the Debian package, build-package/sipcrypt_VERSION_amd64.deb, with
# dpkg-buildpackage and debhelper from a clean copy of the sources, and
# checks it: lintian (no error, no warning), desktop-file-validate and
# appstreamcli validate. Install it with: apt install ./build-package/sipcrypt_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package

rm -rf build-package
mkdir -p build-package/source
# What git knows of, as it stands in the working tree, and nothing built.
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - | tar -C build-package/source -xf -
(cd build-package/source && dpkg-buildpackage -b -us -uc >../build.log 2>&1) || {
  tail -n 40 build-package/build.log >&2
  echo "package: the build failed (build-package/build.log)" >&2
  exit 1
}
deb=$(ls build-package/sipcrypt_*_amd64.deb)
echo "package: $deb"

lintian --fail-on error,warning --info "$deb"
unpacked=build-package/unpacked
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
echo "package: lintian, desktop-file-validate and appstreamcli validate pass"
