#!/usr/bin/env bash
# Makes docs/dialog-windows.png: the native dialog under Wine on a virtual
# display, filled in by keyboard and pressed once, as the README shows it.
# Needs the Windows build (scripts/test-windows.sh), xwd and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all DISPLAY=:93
Xvfb "$DISPLAY" -screen 0 800x700x24 >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
sleep 1
wine build-windows/gui/win32/sipcrypt-gui.exe &
dialog=$!
for _ in $(seq 50); do
  window=$(xdotool search --name 'Encrypt SIP' 2>/dev/null | head -n 1 || true)
  [[ -n "$window" ]] && break
  sleep 0.2
done
sleep 1
# The focus starts on the button: Tab on to the password box and the four
# parameters, then back to the button and press it with Space.
xdotool key --window "$window" shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab \
  shift+Tab shift+Tab shift+Tab
xdotool type --delay 20 'secret'
for text in alice 'pa,ss' proxy.example.net sip:alice@example.com; do
  xdotool key Tab
  xdotool type --delay 20 "$text"
done
xdotool key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
sleep 1
xwd -silent -id "$window" | convert xwd:- docs/dialog-windows.png 2>/dev/null
xdotool key --window "$window" Escape
wait "$dialog" 2>/dev/null || true
echo "docs/dialog-windows.png"
