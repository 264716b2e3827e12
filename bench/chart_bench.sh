#!/usr/bin/env bash
# Whole-command timings of a full-size 240 dpi chart sheet, in one run:
#   unzip -p      inflating the chart file from a plain zip of it (the peer)
#   chart convert writing the installed bitmap (zrntool chart convert)
#   chart update  applying its update and writing the bitmap (zrntool chart update)
# The three take turns, REPEAT rounds (default 3); the best wall time and
# the peak resident memory of each are printed with the ratio to the
# inflate time and the peak memory as a multiple of the sheet's 8-bit image
# size, each against its target.
#   bench/chart_bench.sh [BUILD_DIR] [REPEAT]
# BUILD_DIR defaults to the release build (cmake --preset release; cmake
# --build --preset release --target zrntool).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
repeat=${2:-3}
tool=$build/tools/zrntool
[ -x "$tool" ] || { echo "not built: $tool" >&2; exit 2; }
tool=$(cd "$(dirname "$tool")" && pwd)/zrntool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" demo "$work/demo" --scale 1 --seed 1 >/dev/null
# The largest uncompressed 8-bit 240 dpi sheet that has an update (any 8-bit
# one when there is none), out of its archive.
read -r chart width height < <(/usr/bin/python3 - "$work" <<'EOF'
import glob, io, os, struct, sys, zipfile
work = sys.argv[1]
best = None
for zra in glob.glob(work + "/demo/Charts/*_240.zra"):
    data = open(zra, "rb").read()
    n = max(struct.unpack("<i", data[4:8])[0], 0)
    z = zipfile.ZipFile(io.BytesIO(bytes(255 - b for b in data[24 + n:])))
    for name in z.namelist():
        stem = name[:-4]
        if not name.endswith(".zrn") or not os.path.exists(work + "/demo/pub/baz/2003/" + stem + ".240"):
            continue
        zrn = z.read(name)
        w, h, _, bits, rle = struct.unpack("<iiHHI", zrn[14 + 18:14 + 34])
        key = (rle == 0, w * h)
        if bits == 8 and (best is None or key > best[0]):
            best = (key, stem, w, h, zrn)
_, stem, w, h, zrn = best
open(work + "/" + stem + ".zrn", "wb").write(zrn)
print(stem, w, h)
EOF
)
(cd "$work" && zip -q plain.zip "$chart.zrn")
update="$work/demo/pub/baz/2003/$chart.240"

# One run of a command: its wall seconds and peak KB, kept as the best time
# and the highest peak under the job's name.
declare -A best_t best_m
measure() {
  local job=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
  read -r t m <"$work/time"
  if [ -z "${best_t[$job]:-}" ] || awk "BEGIN{exit !($t < ${best_t[$job]})}"; then best_t[$job]=$t; fi
  [ "$m" -gt "${best_m[$job]:-0}" ] && best_m[$job]=$m
  return 0
}
for _ in $(seq "$repeat"); do
  measure unzip unzip -p "$work/plain.zip" "$chart.zrn"
  measure convert "$tool" chart convert "$work/$chart.zrn" "$work/out.bmp"
  measure update "$tool" chart update "$work/$chart.zrn" "$update" "$work/out.bmp"
done

image_kb=$(( width * height / 1024 ))
echo "sheet $chart: ${width} x ${height}, 8-bit image $((image_kb / 1024)) MB, chart file $(( $(stat -c %s "$work/$chart.zrn") / 1024 )) KB"
printf '%-14s %8s %8s %7s %10s %8s %7s\n' job seconds ratio target "peak MB" "x image" target
row() {
  awk -v n="$1" -v t="${best_t[$2]}" -v base="${best_t[unzip]}" -v m="${best_m[$2]}" \
    -v img="$image_kb" -v target="$3" -v mtarget="$4" \
    'BEGIN { printf "%-14s %8.3f %8.2f %7s %10.1f %8.2f %7s\n", n, t, (base > 0 ? t / base : 0),
             target, m / 1024, m / img, mtarget }'
}
row "unzip -p" unzip "" ""
row "chart convert" convert "<= 3" "< 3"
row "chart update" update "<= 4" "< 3"
