#!/usr/bin/env bash
# Whole-command timings of a full-size 240 dpi chart sheet, in one run:
#   unzip -p      inflating the chart file from a plain zip of it (the peer)
#   chart convert writing the installed bitmap (zrntool chart convert)
#   chart update  applying its update and writing the bitmap (zrntool chart update)
# Each is run REPEAT times (default 3); the best wall time and the peak
# resident memory are printed with the ratio to the inflate time, and the
# peak memory as a multiple of the sheet's 8-bit image size.
#   bench/chart_bench.sh [REPEAT]
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=${1:-3}
cmake --preset release >/dev/null
cmake --build --preset release --target zrntool >/dev/null
tool=$PWD/build/release/tools/zrntool
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

# best wall seconds and peak KB of REPEAT runs of a command
measure() {
  local best_t="" best_m=0
  for _ in $(seq "$repeat"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
    read -r t m <"$work/time"
    if [ -z "$best_t" ] || awk "BEGIN{exit !($t < $best_t)}"; then best_t=$t; fi
    [ "$m" -gt "$best_m" ] && best_m=$m
  done
  echo "$best_t $best_m"
}

read -r t_unzip m_unzip < <(measure unzip -p "$work/plain.zip" "$chart.zrn")
read -r t_conv m_conv < <(measure "$tool" chart convert "$work/$chart.zrn" "$work/out.bmp")
read -r t_upd m_upd < <(measure "$tool" chart update "$work/$chart.zrn" "$update" "$work/out.bmp")

image_kb=$(( width * height / 1024 ))
echo "sheet $chart: ${width} x ${height}, 8-bit image $((image_kb / 1024)) MB, chart file $(( $(stat -c %s "$work/$chart.zrn") / 1024 )) KB"
printf '%-14s %8s %8s %10s %8s\n' job seconds ratio "peak MB" "x image"
row() {
  awk -v n="$1" -v t="$2" -v base="$t_unzip" -v m="$3" -v img="$image_kb" \
    'BEGIN { printf "%-14s %8.3f %8.2f %10.1f %8.2f\n", n, t, (base > 0 ? t / base : 0), m / 1024, m / img }'
}
row "unzip -p" "$t_unzip" "$m_unzip"
row "chart convert" "$t_conv" "$m_conv"
row "chart update" "$t_upd" "$m_upd"
