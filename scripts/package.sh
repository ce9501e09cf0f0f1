#!/usr/bin/env bash
# Builds the Debian packages from a clean copy of the sources with
# dpkg-buildpackage and debhelper, and checks them:
#   build-package/sipcrypt_VERSION_amd64.deb      the command-line tool
#   build-package/sipcrypt-gui_VERSION_amd64.deb  the settings dialog
#   build-package/sipcrypt_VERSION.dsc            the source package
# lintian (pedantic, with info tags: nothing at all), desktop-file-validate
# and appstreamcli validate. Install with: apt install ./build-package/sipcrypt_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package

rm -rf build-package
version=$(dpkg-parsechangelog -S Version)
source=build-package/sipcrypt-$version
mkdir -p "$source"
# What git knows of, as it stands in the working tree, and nothing built.
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - | tar -C "$source" -xf -
(cd "$source" && dpkg-buildpackage -us -uc >../build.log 2>&1) || {
  tail -n 40 build-package/build.log >&2
  echo "package: the build failed (build-package/build.log)" >&2
  exit 1
}
debs=(build-package/sipcrypt_"$version"_amd64.deb build-package/sipcrypt-gui_"$version"_amd64.deb)
ls "${debs[@]}" build-package/sipcrypt_"$version".dsc

lintian --pedantic -I -E --fail-on error,warning,info,pedantic \
  "${debs[@]}" build-package/sipcrypt_"$version".dsc
unpacked=build-package/unpacked
dpkg-deb -x "${debs[1]}" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
# The tool alone needs nothing graphical.
if dpkg-deb -f "${debs[0]}" Depends | grep -q -i -E 'qt|x11|gui'; then
  echo "package: the tool's package depends on something graphical" >&2
  exit 1
fi
echo "package: sipcrypt and sipcrypt-gui: lintian, desktop-file-validate and appstreamcli validate pass"
