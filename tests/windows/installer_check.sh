#!/usr/bin/env bash
# The Windows packages, made in the build folder and tried as an
# administrator would use them: what the MSI and the ZIP hold; the ZIP's
# programs run; signing with a throwaway certificate; and, under Wine, the
# MSI installed into a folder of the command line's choice, the PATH at
# several lengths, an upgrade from an older build where that one went, a
# downgrade refused, an upgrade while the dialog runs, and an uninstall that
# leaves nothing. Needs a display, for the dialog.
#   installer_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/sipcrypt-installer-XXXXXX)
dialog=
finish() {
  [[ -n "$dialog" ]] && kill "$dialog" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "installer: $*"
  exit 1
}
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

cmake --build "$build" --target msi zip >/dev/null
msi=$build/sipcrypt-$version-win64.msi
zip=$build/sipcrypt-$version-win64.zip
staged=$build/windows-files
mapfile -t names < <(cut -d'|' -f1 "$build/windows-files.txt")

# What the packages hold: the same files, the documents written for Windows.
mapfile -t in_zip < <(unzip -Z1 "$zip")
[[ "${in_zip[*]}" == "${names[*]}" ]] || fail "the ZIP holds ${in_zip[*]}, not ${names[*]}"
in_msi=$(msiinfo export "$msi" File | tr -d '\r' | tail -n +4 | cut -f3 | sed 's/.*|//' | sort)
[[ "$in_msi" == "$(printf '%s\n' "${names[@]}" | sort)" ]] ||
  fail "the MSI holds $(echo $in_msi), the ZIP ${names[*]}"
for name in "${names[@]}"; do
  [[ $name == *.txt ]] || continue
  unzip -p "$zip" "$name" | grep -q $'[^\r]$' && fail "$name has a line without CRLF"
  unzip -p "$zip" "$name" | tail -c 2 | grep -q $'\r' || fail "$name does not end in CRLF"
done
manual=$(unzip -p "$zip" sipcrypt.txt)
for linux in '--password-fd' '3<' '~/.config' 'man sipcrypt' 'XDG_CONFIG_HOME'; do
  [[ "$manual" != *"$linux"* ]] || fail "sipcrypt.txt speaks of $linux, which Windows has not"
done
[[ "$manual" == *'%APPDATA%\sipcrypt\sipcrypt.conf'* && "$manual" == *'PS>'* ]] ||
  fail "sipcrypt.txt does not show the settings file or PowerShell"
unzip -p "$zip" README.txt | grep -q 'msiexec /i sipcrypt-'"$version"'-win64.msi /qn' ||
  fail "README.txt is not the administrators' README of $version"
for name in sipcrypt.txt sipcrypt-gui.txt; do
  unzip -p "$zip" "$name" | grep -q "^sipcrypt $version"$'\r$' || fail "$name is not of $version"
done

# Per machine: the shortcuts go to all users' Start menu. Wine puts them in
# the user's whatever the package says, so the package's tables tell.
table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
table Property | grep -q -x $'ALLUSERS\t1' || fail "the MSI is not per machine (ALLUSERS)"
menus=$(table Shortcut | cut -f2 | sort -u)
[[ "$(table Directory | grep -E "^$menus"$'\t' | cut -f2)" == ProgramMenuFolder ]] ||
  fail "the shortcuts are in $menus, not under ProgramMenuFolder"
# The folder appended to the system PATH ('*') and taken out again when the
# component goes ('-'): Wine takes it out without the '-', Windows does not.
table Environment | grep -q -x -F "$(printf 'PathEntry\t=-*Path\t[~];[INSTALLDIR]\tTool')" ||
  fail "the MSI's PATH entry is not appended to the system PATH and removed: $(table Environment)"
echo "installer: the MSI and the ZIP hold ${names[*]}; the documents are Windows'"

# The ZIP's programs run where it is unpacked.
unzip -q "$zip" -d "$work/zip"
shown=$(wine "$(windows_path "$work/zip/sipcrypt.exe")" --version 2>&1 | tr -d '\r' || true)
[[ "$shown" == "sipcrypt $version" ]] || fail "the ZIP's tool says: $shown"
shown=$(wine "$(windows_path "$work/zip/sipcrypt-gui.exe")" --version 2>&1 | tr -d '\r' || true)
[[ "$shown" == "sipcrypt-gui $version" ]] || fail "the ZIP's dialog says: $shown"
# A program built with the ZIP's header against its DLL, as a user's would be.
x86_64-w64-mingw32-gcc -std=c99 -Wall -Werror -I"$work/zip" "$source/docs/example.c" \
  "$work/zip/sipcrypt.dll" -o "$work/zip/example.exe"
shown=$(SIP_KEY=secret WINEDEBUG=-all wine "$(windows_path "$work/zip/example.exe")" alice | tr -d '\r')
[[ "$shown" == QPJLUKCpC3c= ]] || fail "a program on the ZIP's DLL says: $shown"

# Signing: nothing without a certificate; with a throwaway one (its key
# behind a password), both programs, in the ZIP too, and the MSI verify
# against it. No time stamp: there is no network here.
for file in "$staged/sipcrypt.exe" "$staged/sipcrypt-gui.exe" "$msi"; do
  osslsigncode extract-signature -in "$file" -out "$work/signature" >/dev/null 2>&1 &&
    fail "$file is signed without a certificate"
done
mkdir "$work/signing"
echo 'throwaway password' >"$work/signing/password"
openssl req -x509 -newkey rsa:2048 -days 2 -subj '/CN=sipcrypt throwaway' \
  -addext extendedKeyUsage=codeSigning -passout "file:$work/signing/password" \
  -keyout "$work/signing/key.pem" -out "$work/signing/certificate.pem" 2>/dev/null
signing=("--certificate=$work/signing/certificate.pem" "--key=$work/signing/key.pem"
  "--password-file=$work/signing/password")
python3 "$source/cmake/windows_files.py" stage "$build/windows-files.txt" "$work/signed" "${signing[@]}"
python3 "$source/cmake/windows_files.py" zip "$build/windows-files.txt" "$work/signed" "$work/signed.zip"
cmake -DVERSION="$version" -DFILES="$work/signed" -DOUTPUT="$work/signed.msi" \
  "-DSIGN_CERTIFICATE=$work/signing/certificate.pem" "-DSIGN_KEY=$work/signing/key.pem" \
  "-DSIGN_PASSWORD_FILE=$work/signing/password" -P "$source/cmake/make_msi.cmake"
unzip -q "$work/signed.zip" -d "$work/signed-zip"
for file in "$work/signed/sipcrypt.exe" "$work/signed/sipcrypt-gui.exe" "$work/signed/sipcrypt.dll" \
  "$work/signed-zip/sipcrypt.exe" "$work/signed-zip/sipcrypt-gui.exe" "$work/signed.msi"; do
  osslsigncode verify -CAfile "$work/signing/certificate.pem" -in "$file" >"$work/verify" 2>&1 ||
    fail "$file does not verify: $(tail -n 3 "$work/verify")"
done
echo "installer: the ZIP's programs run; signed programs and MSI verify"

# Under Wine. msiexec's status, whole: Wine hands a Unix parent only its low
# byte (3010 would show as 194).
printf '@start /wait msiexec %%*\r\n@echo %%errorlevel%%\r\n' >"$work/msiexec.bat"
# (cmd itself ends with that low byte, which is no failure of the check.)
msiexec() {
  { wine cmd /c "$(windows_path "$work/msiexec.bat")" "$@" || true; } | tr -d '\r' | tail -n 1
}
# A registry value, as `reg query` shows it: nothing when it is not there.
value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"
}
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
path() { value "$environment" Path; }
folder='C:\Tools\sipcrypt'
folder_unix=$WINEPREFIX/drive_c/Tools/sipcrypt
default_unix="$WINEPREFIX/drive_c/Program Files/sipcrypt"
moved='C:\Tools\moved'
moved_unix=$WINEPREFIX/drive_c/Tools/moved
shortcuts() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '*.lnk' -path '*sipcrypt*' | wc -l; }
entries() {
  wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName *REG_SZ *sipcrypt$' || true
}
# The product's values in Add/Remove Programs, one NAME=VALUE a line.
product() {
  wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { key = $0 } { values[key] = values[key] "\n" $0 }
    /DisplayName *REG_SZ *sipcrypt$/ { found = key }
    END { print values[found] }' |
    sed -n 's/^ *\([A-Za-z]*\) \{1,\}REG_[A-Z_]* \{1,\}\(.*\)$/\1=\2/p'
}
# Whatever happens, the prefix is left as it was found, and a run that was
# cut short before leaves nothing to the next: every sipcrypt product is
# uninstalled by its code, held files are forgotten, the PATH restored.
products() {
  wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } /DisplayName *REG_SZ *sipcrypt$/ { sub(/.*\\/, "", key); print key }'
}
remove_all() {
  local code
  for code in $(products); do msiexec /x "$code" /qn >/dev/null || true; done
  wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
  rm -rf "$folder_unix" "$default_unix" "$moved_unix"
}
original_path=$(path)
restore() {
  [[ -n "$dialog" ]] && kill "$dialog" 2>/dev/null
  dialog=
  remove_all
  wine reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$original_path" /f >/dev/null
  finish
}
trap restore EXIT
# A system PATH of exactly LENGTH characters, with entries that look like
# the folder but are not it.
make_path() {
  local value='%SystemRoot%\system32;%SystemRoot%;%SystemRoot%\system32\wbem'
  value+=';C:\Tools\sipcrypt;C:\Tools\sipcrypt\bin;C:\Program Files\Other App\sipcrypt\'
  local i=0
  while ((${#value} < $1 - 40)); do
    value+=";C:\\Program Files\\Vendor $i\\bin"
    i=$((i + 1))
  done
  value+=';C:\Tail'
  while ((${#value} < $1)); do value+=x; done
  echo "$value"
}
set_path() { wine reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null; }
nothing_left() {
  [[ ! -e "$folder_unix" && ! -e "$default_unix" && ! -e "$moved_unix" ]] ||
    fail "$1: files are left"
  [[ $(shortcuts) == 0 ]] || fail "$1: shortcuts are left"
  [[ $(entries) == 0 ]] || fail "$1: the Add/Remove entry is left"
  wine reg query 'HKLM\Software\sipcrypt' >/dev/null 2>&1 && fail "$1: HKLM\\Software\\sipcrypt is left"
  return 0
}
# Windows Installer takes the entry out with its separator. Wine 8 takes
# the separator that follows an entry, and an appended one has none, so a
# ';' stays at the end for each removal: every other entry is as it was.
path_restored() {
  local now
  now=$(path)
  [[ "$now" =~ ^"$1"\;*$ ]] || fail "$2: the PATH is now $now"
  wine reg query "$environment" /v Path | grep -q REG_EXPAND_SZ || fail "$2: the PATH lost its type"
}
remove_all
nothing_left "before"

# The PATH entry, appended and taken out, at lengths around the 1024
# characters where other installers' strings end.
for length in 1022 3000; do
  before=$(make_path "$length")
  [[ ${#before} == "$length" ]] || fail "made a PATH of ${#before} characters, not $length"
  set_path "$before"
  status=$(msiexec /i "$(windows_path "$msi")" /qn "INSTALLDIR=$folder")
  [[ $status == 0 ]] || fail "the install with a PATH of $length characters ended with $status"
  [[ "$(path)" == "$before;$folder\\" ]] || fail "with a PATH of $length characters it became $(path)"
  status=$(msiexec /x "$(windows_path "$msi")" /qn)
  [[ $status == 0 ]] || fail "the uninstall with a PATH of $length characters ended with $status"
  path_restored "$before" "$length characters"
  nothing_left "an uninstall after an install into $folder"
done
echo "installer: the PATH entry comes and goes at 1022 and 3000 characters, other entries intact"

# An older build, into a folder of the command line's choice. Its files
# differ from this build's, as an older version's would.
cp -r "$staged" "$work/old-files"
for file in sipcrypt.exe sipcrypt-gui.exe README.txt; do
  printf 'older build\r\n' >>"$work/old-files/$file"
done
old_msi=$work/sipcrypt-0.0.9-win64.msi
cmake -DVERSION=0.0.9 -DFILES="$work/old-files" -DOUTPUT="$old_msi" \
  -P "$source/cmake/make_msi.cmake" >/dev/null
before=$(make_path 500)
set_path "$before"
status=$(msiexec /i "$(windows_path "$old_msi")" /qn "INSTALLDIR=$folder")
[[ $status == 0 ]] || fail "0.0.9 did not install: $status"
cmp -s "$folder_unix/sipcrypt.exe" "$work/old-files/sipcrypt.exe" || fail "0.0.9 is not in $folder"
[[ "$(path)" == "$before;$folder\\" ]] || fail "0.0.9 made the PATH $(path)"

# The upgrade goes where the older build is: one copy, one entry.
status=$(msiexec /i "$(windows_path "$msi")" /qn)
[[ $status == 0 ]] || fail "the upgrade ended with $status"
[[ ! -e "$default_unix" ]] || fail "the upgrade made a second copy in Program Files"
[[ "$(ls "$folder_unix" | sort)" == "$(printf '%s\n' "${names[@]}" | sort)" ]] ||
  fail "$folder holds $(ls "$folder_unix")"
for name in "${names[@]}"; do
  cmp -s "$folder_unix/$name" "$staged/$name" || fail "the upgrade left $name as it was"
done
shown=$(wine "$folder\\sipcrypt.exe" --version 2>&1 | tr -d '\r' || true)
[[ "$shown" == "sipcrypt $version" ]] || fail "the installed tool says: $shown"
[[ $(entries) == 1 ]] || fail "$(entries) Add/Remove entries after the upgrade"
details=$(product)
for expected in "DisplayVersion=$version" "InstallLocation=$folder\\" NoModify=0x1 NoRepair=0x1 \
  "HelpLink=$folder\\sipcrypt.txt" "Readme=$folder\\README.txt"; do
  grep -q -i -x -F "$expected" <<<"$details" || fail "Add/Remove has no $expected: $details"
done
size=$(du -c --apparent-size -B1 "$staged"/* | tail -n 1 | cut -f1)
grep -q -x "Size=$(((size + 1023) / 1024))" <<<"$details" || fail "Add/Remove's size is not the files'"
[[ $(shortcuts) == 4 ]] || fail "$(shortcuts) Start-menu shortcuts, not 4"
[[ "$(path)" =~ ^"$before;"+"$folder\\"$ ]] || fail "after the upgrade the PATH is $(path)"

# A downgrade is refused and changes nothing.
status=$(msiexec /i "$(windows_path "$old_msi")" /qn)
[[ $status == 1603 ]] || fail "the downgrade ended with $status, not 1603"
[[ "$(product)" == "$details" ]] || fail "the refused downgrade changed the Add/Remove entry"
for name in "${names[@]}"; do
  cmp -s "$folder_unix/$name" "$staged/$name" || fail "the refused downgrade changed $name"
done

# Uninstalled from where it went, nothing is left.
status=$(msiexec /x "$(windows_path "$msi")" /qn)
[[ $status == 0 ]] || fail "the uninstall ended with $status"
path_restored "$before" "the uninstall after the upgrade"
nothing_left "the uninstall after the upgrade"
# An INSTALLDIR given to the upgrade wins over the remembered folder.
status=$(msiexec /i "$(windows_path "$old_msi")" /qn "INSTALLDIR=$folder")
[[ $status == 0 ]] || fail "0.0.9 did not install: $status"
status=$(msiexec /i "$(windows_path "$msi")" /qn "INSTALLDIR=$moved")
[[ $status == 0 ]] || fail "the upgrade into $moved ended with $status"
[[ ! -e "$folder_unix" ]] || fail "the upgrade into $moved left $folder"
cmp -s "$moved_unix/sipcrypt.exe" "$staged/sipcrypt.exe" || fail "the upgrade did not go into $moved"
[[ "$(path)" =~ ^"$before;"+"$moved\\"$ ]] || fail "after the move the PATH is $(path)"
status=$(msiexec /x "$(windows_path "$msi")" /qn)
[[ $status == 0 ]] || fail "the uninstall from $moved ended with $status"
path_restored "$before" "the uninstall from $moved"
nothing_left "the uninstall from $moved"
echo "installer: with a PATH of 500 characters, upgrades in place into $folder or into a new INSTALLDIR, refuses a downgrade (1603), leaves nothing"

# An upgrade while the older dialog runs: Windows Installer replaces the
# held file at the next start of Windows and says so with 3010, never 0.
# (An uninstall while it runs would, on Windows, leave the file to the next
# start and end with 3010 too; Wine 8 ends it with 0, without deleting the
# file or scheduling it, so there is nothing true to check here.)
set_path "$before"
status=$(msiexec /i "$(windows_path "$old_msi")" /qn "INSTALLDIR=$folder")
[[ $status == 0 ]] || fail "0.0.9 did not install: $status"
wine "$folder\\sipcrypt-gui.exe" &
dialog=$!
for _ in $(seq 100); do xdotool search --name 'Encrypt SIP Settings' >/dev/null && break; sleep 0.2; done
xdotool search --name 'Encrypt SIP Settings' >/dev/null || fail "the dialog did not open"
status=$(msiexec /i "$(windows_path "$msi")" /qn)
[[ $status == 3010 ]] || fail "the upgrade with the dialog open ended with $status, not 3010"
cmp -s "$folder_unix/sipcrypt-gui.exe" "$work/old-files/sipcrypt-gui.exe" ||
  fail "the running dialog's file changed under it"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  /v PendingFileRenameOperations | tr -d '\r' | grep -q -F "$folder\\sipcrypt-gui.exe" ||
  fail "the held file is not replaced at the next start"
kill "$dialog"
wait "$dialog" 2>/dev/null || true
dialog=
wineserver -w
wine wineboot --restart >/dev/null 2>&1
wineserver -w
cmp -s "$folder_unix/sipcrypt-gui.exe" "$staged/sipcrypt-gui.exe" ||
  fail "after the restart the dialog is still the older build's"
status=$(msiexec /x "$(windows_path "$msi")" /qn)
[[ $status == 0 ]] || fail "the uninstall ended with $status"
nothing_left "the uninstall after the upgrade with the dialog open"
echo "installer: an upgrade with the dialog open ends with 3010 and completes at the next start"
