#!/usr/bin/env bash
# The dialog's speed, without a display: a press, building and first paint
# inside a running process, and a whole start (process start to a saved
# picture of the painted, pressed dialog), median of 11 starts.
set -euo pipefail
cd "$(dirname "$0")/.."
bench/build.sh dialog_bench dialog_screenshot
export QT_QPA_PLATFORM=offscreen
build-bench/bench/dialog_bench 2>/dev/null

picture=$(mktemp --suffix=.png)
trap 'rm -f "$picture"' EXIT
times=()
for _ in $(seq 11); do
  start=$(date +%s%N)
  build-bench/gui/qt/dialog_screenshot "$picture" 2>/dev/null
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000000 )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 6p)
echo "start to first paint (whole process, median of 11): ${median} ms"
