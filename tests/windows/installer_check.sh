#!/usr/bin/env bash
# Makes the Windows installer in the build folder and tries it under Wine:
# a silent install into a folder of its own, the installed sipcrypt.exe run
# from there, the Start-menu shortcut, and a silent uninstall.
#   installer_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
cd "$build"
cpack -G NSIS >/dev/null
installer=sipcrypt-$version-win64.exe
[[ -f "$installer" ]] || { echo "no installer: $installer"; exit 1; }

folder='C:\sipcrypt-installer-check'
unix_folder=$WINEPREFIX/drive_c/sipcrypt-installer-check
rm -rf "$unix_folder"
wine "$installer" /S "/D=$folder"
for file in sipcrypt.exe sipcrypt-gui.exe Uninstall.exe; do
  [[ -f "$unix_folder/$file" ]] || { echo "not installed: $file"; exit 1; }
done
shown=$(wine "$folder\\sipcrypt.exe" --version | tr -d '\r')
[[ "$shown" == "sipcrypt $version" ]] || { echo "the installed tool says: $shown"; exit 1; }
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'SIP settings encryption.lnk' | head -n 1)
[[ -n "$shortcut" ]] || { echo "no Start-menu shortcut to the dialog"; exit 1; }

wine "$folder\\Uninstall.exe" /S
# The uninstaller copies itself away and returns at once.
for _ in $(seq 50); do [[ -e "$unix_folder/sipcrypt.exe" ]] || break; sleep 0.2; done
[[ ! -e "$unix_folder/sipcrypt.exe" ]] || { echo "the uninstaller left sipcrypt.exe"; exit 1; }
echo "installer $installer: installs silently, runs, uninstalls"
