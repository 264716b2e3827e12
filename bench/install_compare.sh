#!/usr/bin/env bash
# Installing one chart set side by side with Info-ZIP, in the same run on the
# same data: zrninstall of one demo set at 240 dpi (unpack, convert every
# chart to an RLE8 bitmap with its stamp, register) against unzip -o of the
# same archive payload into a folder, the two by turns. Prints both times
# (best of RUNS), their ratio, and the peak memory of each.
# Usage: bench/install_compare.sh [BUILD_DIR] [RUNS] [SCALE] [SET]
# BUILD_DIR defaults to the release build (cmake --preset release; cmake
# --build --preset release --target zrntool zrninstall). The default case is
# set 1809 of the demo at scale 2; the smaller case measured before is
# "build/release 3 1 1801".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-3}
scale=${3:-2}
set_code=${4:-1809}
zrntool=$build/tools/zrntool
zrninstall=$build/src/installwizard/zrninstall
for t in "$zrntool" "$zrninstall"; do
  [ -x "$t" ] || { echo "not built: $t" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/install-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
. bench/bench_lib.sh
export ZARNAVIS_HOME=$work/home
mkdir -p "$ZARNAVIS_HOME"

"$zrntool" demo "$work/demo" --scale "$scale" >/dev/null
archive=$work/demo/Charts/${set_code}_240.zra
[ -f "$archive" ] || { echo "no archive $archive" >&2; exit 2; }
mkdir -p "$work/cd"
cp "$archive" "$work/cd/"
# The zip archive inside the .zra file, complemented back: unzip's payload.
zra_payload "$archive" "$work/payload.zip"

run_install() { rm -rf "$work/dest"; mkdir "$work/dest"; "$zrninstall" --dpi 240 "$work/cd" "$work/dest"; }
run_unzip() { rm -rf "$work/out"; mkdir "$work/out"; unzip -o -q "$work/payload.zip" -d "$work/out"; }

payload_mb=$(du -m "$work/payload.zip" | cut -f1)
charts=$(unzip -Z1 "$work/payload.zip" | grep -c '\.zrn$' || true)
read -r t_install t_unzip < <(best_by_turns run_install run_unzip)
read -r c_install c_unzip < <(cpu_by_turns run_install run_unzip)
rm -rf "$work/dest" "$work/out"; mkdir "$work/dest" "$work/out"
m_install=$(peak_kb "$zrninstall" --dpi 240 "$work/cd" "$work/dest")
m_unzip=$(peak_kb unzip -o -q "$work/payload.zip" -d "$work/out")
unpacked_mb=$(du -m "$work/out" | cut -f1)
installed_mb=$(du -m "$work/dest" | cut -f1)

echo "set ${set_code} at 240 dpi, scale ${scale}: ${charts} charts, payload ${payload_mb} MB," \
  "unzipped ${unpacked_mb} MB, installed ${installed_mb} MB"
printf "zrninstall  %8.3f s  peak %7d KB\n" "$t_install" "$m_install"
printf "unzip -o    %8.3f s  peak %7d KB\n" "$t_unzip" "$m_unzip"
printf "cpu time: zrninstall %.3f s, unzip %.3f s\n" "$c_install" "$c_unzip"
ratio_line "ratio zrninstall/unzip" "$t_install" "$t_unzip" 1.2
echo "$c_install $c_unzip" | awk '{printf "cpu-time ratio (both threads counted): %.2f\n", $1 / $2}'
