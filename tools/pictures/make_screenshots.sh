#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: the main window in each language
# and at twice the normal scale, the language dialog that a stored language
# the program does not offer brings up, and the pages of both wizards (their
# window drawn offscreen by wizard_screenshots). Needs a built zarnavis
# (build/dev, with its tests) and xvfb-run; run it after scripts/demo, which
# places the program on the demo CD. Only the wizards' pages:
#   tools/pictures/make_screenshots.sh --wizards [FOLDER]
# (into FOLDER instead of docs/screenshots, e.g. to compare them).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
program=$root/build/dev/demo/cd/zarnavis
out=$root/docs/screenshots
wizards_only=false
if [[ ${1:-} == --wizards ]]; then
  wizards_only=true
  out=$(realpath -m "${2:-$out}")
fi
mkdir -p "$out"
export ASAN_OPTIONS=detect_leaks=0

if ! $wizards_only; then
  settings_with_language() {
    local dir
    dir=$(mktemp -d)
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003\\International]\r\n"Language"="%s"\r\n' "$1" >"$dir/user.reg"
    echo "$dir"
  }

  for lang in English Dutch German; do
    dir=$(settings_with_language "$lang")
    ZARNAVIS_HOME=$dir ZARNAVIS_SCREENSHOT=$out/launcher-${lang,,}.png ZARNAVIS_SCREENSHOT_DELAY=1500 \
      xvfb-run -a -s "-screen 0 1024x768x24" "$program" 2>/dev/null
    rm -rf "$dir"
  done

  # Twice the normal scale, as on a high-resolution screen: every text and
  # picture stays in place.
  dir=$(settings_with_language English)
  ZARNAVIS_HOME=$dir QT_SCALE_FACTOR=2 ZARNAVIS_SCREENSHOT=$out/launcher-scale2.png \
    ZARNAVIS_SCREENSHOT_DELAY=1500 xvfb-run -a -s "-screen 0 1600x1200x24" "$program" 2>/dev/null
  rm -rf "$dir"

  # The language dialog stays open until answered: grab the screen around it.
  dir=$(settings_with_language French)
  ZARNAVIS_HOME=$dir xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" 2>/dev/null & pid=$!
    sleep 2
    import -window root -crop 402x280+311+244 "$2"
    kill $pid' _ "$program" "$out/language-dialog.png"
  rm -rf "$dir"
fi

# The wizards' pages, the update wizard's against a local update server
# (wizard_screenshots, built with the tests).
build=$root/build/dev
QT_QPA_PLATFORM=offscreen ZARNAVIS_BUILD_DIR=$build ZARNAVIS_TEST_DATA=$root/tests/data \
  ZARNAVIS_SCREENSHOT_DIR=$out "$build/tools/pictures/wizard_screenshots"
ls -l "$out"
