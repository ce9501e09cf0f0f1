#!/usr/bin/env bash
# Builds the settings dialog and starts it, on a fresh Debian 12 desktop too.
# Arguments go to the dialog, e.g. scripts/run-gui.sh --encoding WINDOWS-1252
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target sipcrypt-gui sipcrypt
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
  status=0
  build/gui/qt/sipcrypt-gui "$@" || status=$?
  echo "The command-line tool is built at build/cli/sipcrypt; see README.md." >&2
  exit "$status"
fi
exec build/gui/qt/sipcrypt-gui "$@"
