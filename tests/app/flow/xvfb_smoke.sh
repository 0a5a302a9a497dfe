#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the screenshot tour of PanelFlasher on a virtual X server and checks every picture.
#   xvfb_smoke.sh TOUR PNG_CHECK OUTPUT_FOLDER
# Exit status 77 (skipped) when xvfb-run is not installed.
set -euo pipefail
tour=$1 check=$2 out=$3
if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is not installed (Debian package xvfb): the X11 screenshot run is skipped"
  exit 77
fi
rm -rf "$out"
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "$tour" "$out"
xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "$tour" --unavailable "$out"
expected=(1-first-window 2-conflicting-applications 3-monitor-selection 3b-monitor-unavailable
          4-update-ready 5-confirmation 6-updating 6a-transferring 6b-restarting
          7-update-complete)
files=()
for name in "${expected[@]}"; do files+=("$out/$name.png"); done
QT_QPA_PLATFORM=offscreen "$check" "${files[@]}"
