#!/usr/bin/env bash
# Applying updates side by side with Info-ZIP, in the same run on the same
# data: zrnupdate apply of every update of one demo set at 240 dpi (each
# chart unpacked from the set's archive, its update unpacked and applied,
# the bitmap written with its stamp, the indexes recorded) against unzip -p
# of the same chart files and update files packed as plain zip archives,
# the two by turns. Prints both times (best of RUNS), their ratio, the peak
# memory of each, and the peak memory of the apply against the largest
# 8-bit chart image of the set.
# Usage: bench/update_compare.sh [BUILD_DIR] [RUNS] [SCALE] [SET]
# BUILD_DIR defaults to the release build (cmake --preset release; cmake
# --build --preset release --target zrntool zrninstall zrnupdate). The
# default case is set 1807 of the demo at scale 2, full-size sheets; the
# smaller case measured before is "build/release 3 1 1801".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-3}
scale=${3:-2}
set_code=${4:-1807}
zrntool=$build/tools/zrntool
zrninstall=$build/src/installwizard/zrninstall
zrnupdate=$build/src/updatewizard/zrnupdate
for t in "$zrntool" "$zrninstall" "$zrnupdate"; do
  [ -x "$t" ] || { echo "not built: $t" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/update-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
. bench/bench_lib.sh
export ZARNAVIS_HOME=$work/home
mkdir -p "$ZARNAVIS_HOME" "$work/cd" "$work/dest" "$work/updates"

"$zrntool" demo "$work/demo" --scale "$scale" >/dev/null
archive=$work/demo/Charts/${set_code}_240.zra
[ -f "$archive" ] || { echo "no archive $archive" >&2; exit 2; }
cp "$archive" "$work/cd/"
"$zrninstall" --dpi 240 "$work/cd" "$work/dest" >/dev/null
cp "$ZARNAVIS_HOME/system.reg" "$work/installed.reg"
# The set's 240 dpi updates with the index, as loose files.
cp "$work/demo/pub/baz/2003/baz.idx" "$work/updates/"
cp "$work/demo/pub/baz/2003/${set_code}"*.240 "$work/updates/"
# unzip's payload: the chart archive complemented back, and the update files.
zra_payload "$archive" "$work/payload.zip"
charts=()
for u in "$work/updates/"*.240; do charts+=("$(basename "$u" .240).zrn"); done

run_update() {
  cp "$work/installed.reg" "$ZARNAVIS_HOME/system.reg"
  "$zrnupdate" --dpi 240 apply "$work/cd" "$work/dest" "$work/updates"
}
run_unzip() {
  unzip -p "$work/payload.zip" "${charts[@]}" >/dev/null
  for u in "$work/updates/"*.240; do unzip -p "$u" Data >/dev/null; done
}

updated=$(run_update | grep -c ' dpi - ' || true)
[ "$updated" -eq "${#charts[@]}" ] || {
  echo "zrnupdate updated $updated charts, expected ${#charts[@]}" >&2
  exit 1
}
read -r t_update t_unzip < <(best_by_turns run_update run_unzip)
read -r c_update c_unzip < <(cpu_by_turns run_update run_unzip)
cp "$work/installed.reg" "$ZARNAVIS_HOME/system.reg"
m_update=$(peak_kb "$zrnupdate" --dpi 240 apply "$work/cd" "$work/dest" "$work/updates")
m_unzip=$(peak_kb unzip -p "$work/payload.zip" "${charts[@]}")
image=$(largest_8bit_image "$work/payload.zip")

echo "set ${set_code} at 240 dpi, scale ${scale}: ${#charts[@]} charts with updates," \
  "largest 8-bit image $((image / 1024)) KB"
printf "zrnupdate apply %8.3f s  peak %7d KB\n" "$t_update" "$m_update"
printf "unzip -p        %8.3f s  peak %7d KB\n" "$t_unzip" "$m_unzip"
printf "cpu time: zrnupdate %.3f s, unzip %.3f s\n" "$c_update" "$c_unzip"
ratio_line "ratio zrnupdate/unzip" "$t_update" "$t_unzip" 1.5
echo "$c_update $c_unzip" | awk '{printf "cpu-time ratio (both threads counted): %.2f\n", $1 / $2}'
[ "$image" -gt 0 ] && ratio_line "peak memory / largest 8-bit image" "$((m_update * 1024))" "$image" 1.5
exit 0
