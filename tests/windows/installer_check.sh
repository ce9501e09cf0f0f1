#!/usr/bin/env bash
# The Windows installers, made in the build folder and tried under Wine as an
# administrator would use them: the NSIS installer (an older build of it
# first, into a folder of its own; an upgrade refused while the dialog runs,
# then going where the installed version is; the PATH; /NOPATH; an uninstall
# that leaves nothing), and the MSI (install, upgrade from an older build,
# uninstall, silently with msiexec). Needs a display, for the dialog.
#   installer_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
cd "$build"
fail() {
  echo "installer: $*"
  exit 1
}
# A registry value, as `reg query` shows it: nothing when it is not there.
value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"
}
product='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\sipcrypt'
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
on_path() { value "$environment" Path | tr ';' '\n' | grep -c -x -F "$1" || true; }
drive=$WINEPREFIX/drive_c
shortcuts() { find "$drive" -path '*Start Menu*' -name '*.lnk' -path '*sipcrypt*' | wc -l; }
# The uninstaller copies itself away and returns at once: wait for its work.
gone() { for _ in $(seq 100); do [[ -e "$1" ]] || return 0; sleep 0.2; done; return 1; }

cpack -G NSIS >/dev/null
cpack -G NSIS -D CPACK_PACKAGE_VERSION=0.0.9 -D CPACK_PACKAGE_FILE_NAME=sipcrypt-0.0.9-win64 >/dev/null
source=$(dirname "$0")/../..
for made in "$version" 0.0.9; do
  cmake -DVERSION="$made" -DBUILD="$PWD" -P "$source/cmake/make_msi.cmake" 2>/dev/null
done
new=sipcrypt-$version-win64.exe
old=sipcrypt-0.0.9-win64.exe
custom='C:\Tools\sipcrypt'
custom_unix=$drive/Tools/sipcrypt
default='C:\Program Files\sipcrypt'
default_unix="$drive/Program Files/sipcrypt"
rm -rf "$custom_unix" "$default_unix"

# An older version, into a folder of its own, and on the PATH.
wine "$old" /S "/D=$custom" || fail "0.0.9 does not install"
[[ -f "$custom_unix/sipcrypt.exe" && "$(value "$product" DisplayVersion)" == 0.0.9 ]] ||
  fail "0.0.9 is not in $custom"
[[ $(on_path "$custom") == 1 ]] || fail "$custom is not on the PATH"

# While the dialog runs from it, neither an upgrade nor an uninstall changes
# anything, and both say so by their exit status.
wine "$custom\\sipcrypt-gui.exe" &
dialog=$!
for _ in $(seq 100); do xdotool search --name 'Encrypt SIP Settings' >/dev/null && break; sleep 0.2; done
wine "$new" /S && fail "it installed while the dialog ran"
wine "$custom\\Uninstall.exe" /S "_?=$custom" && fail "it uninstalled while the dialog ran"
[[ "$(value "$product" DisplayVersion)" == 0.0.9 && -f "$custom_unix/sipcrypt-gui.exe" &&
   -f "$custom_unix/Uninstall.exe" ]] || fail "a refused run changed the installed files"
kill "$dialog"
wait "$dialog" 2>/dev/null || true
wineserver -w

# The upgrade goes where the installed version is: one copy, one entry.
wine "$new" /S || fail "the upgrade failed"
[[ ! -e "$default_unix" ]] || fail "the upgrade made a second copy in $default"
[[ "$(value "$product" DisplayVersion)" == "$version" &&
   "$(value "$product" InstallLocation)" == "$custom" ]] || fail "the entry is not the upgrade's"
shown=$(wine "$custom\\sipcrypt.exe" --version | tr -d '\r')
[[ "$shown" == "sipcrypt $version" ]] || fail "the installed tool says: $shown"
for file in README.txt format.txt sipcrypt.txt sipcrypt-gui.txt LICENSE.txt; do
  [[ -s "$custom_unix/$file" ]] || fail "no $file beside the programs"
done
[[ $(shortcuts) == 4 ]] || fail "$(shortcuts) Start-menu shortcuts, not 4"
[[ $(on_path "$custom") == 1 ]] || fail "$custom is not on the PATH once"

# Uninstalled, nothing is left.
wine "$custom\\Uninstall.exe" /S
gone "$custom_unix" || fail "the uninstaller left $custom"
[[ $(shortcuts) == 0 ]] || fail "the uninstaller left shortcuts"
[[ -z "$(value "$product" DisplayName)" ]] || fail "the uninstaller left $product"
wine reg query 'HKLM\Software\sipcrypt' >/dev/null 2>&1 && fail "HKLM\\Software\\sipcrypt is there"
[[ $(on_path "$custom") == 0 ]] || fail "the uninstaller left $custom on the PATH"

# /NOPATH leaves the PATH alone.
wine "$new" /S /NOPATH || fail "/NOPATH does not install"
[[ -f "$default_unix/sipcrypt.exe" && $(on_path "$default") == 0 ]] || fail "/NOPATH went wrong"
wine "$default\\Uninstall.exe" /S
gone "$default_unix" || fail "the uninstaller left $default"
echo "installer: NSIS upgrades in place, refuses while running, adds and removes the PATH entry, leaves nothing"

# The MSI: an older build, then this one over it, then away.
msi=sipcrypt-$version-win64.msi
old_msi=sipcrypt-0.0.9-win64.msi
[[ -f "$msi" && -f "$old_msi" ]] || fail "no MSI: $msi, $old_msi"
wine msiexec /i "$old_msi" /qn || fail "msiexec /i $old_msi failed"
[[ -f "$default_unix/sipcrypt.exe" ]] || fail "the MSI installed nothing in $default"
wine msiexec /i "$msi" /qn || fail "msiexec /i $msi failed"
shown=$(wine "$default\\sipcrypt.exe" --version | tr -d '\r')
[[ "$shown" == "sipcrypt $version" ]] || fail "after the MSI upgrade the tool says: $shown"
shown=$(wine "$default\\sipcrypt-gui.exe" --version | tr -d '\r')
[[ "$shown" == "sipcrypt-gui $version" ]] || fail "after the MSI upgrade the dialog says: $shown"
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  tr -d '\r' | grep -c 'DisplayName *REG_SZ *sipcrypt$' || true)
[[ $entries == 1 ]] || fail "$entries Add/Remove entries after the MSI upgrade"
wine msiexec /x "$msi" /qn || fail "msiexec /x failed"
[[ ! -e "$default_unix" && $(shortcuts) == 0 ]] || fail "the MSI left files or shortcuts"
echo "installer: the MSI installs, upgrades and uninstalls silently, leaving nothing"
