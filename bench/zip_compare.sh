#!/usr/bin/env bash
# Side by side with Info-ZIP, in the same run on the same data:
#   extraction: zrntool zip extract  vs  unzip -o -q   (of a ~50 MB deflated archive)
#   creation:   zrntool zip create   vs  zip -q -6     (time and archive size)
# Usage: bench/zip_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to the release build (cmake --preset release; cmake
# --build --preset release --target zrntool). Each timing is the best of RUNS
# (3), ours and Info-ZIP's by turns.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-3}
tool=$build/tools/zrntool
[ -x "$tool" ] || { echo "zrntool not found at $tool" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zip-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
. bench/bench_lib.sh

# Image-like data: 8-bit rows of a few colour areas with scanner noise, in
# sixteen files, 160 MB that deflate to about 50 MB.
/usr/bin/python3 - "$work/src" <<'PY'
import os, random, sys
out = sys.argv[1]
os.makedirs(out)
rnd = random.Random(2003)
width, height = 4000, 2500
for n in range(16):
    rows = []
    colours = [rnd.randrange(256) for _ in range(16)]
    base = bytearray()
    x = 0
    while x < width:
        run = rnd.randrange(8, 200)
        base += bytes([colours[rnd.randrange(16)]]) * run
        x += run
    base = base[:width]
    noise = bytes(rnd.randrange(256) for _ in range(1 << 16))
    for y in range(height):
        if rnd.random() < 0.05:
            i = rnd.randrange(width - 64)
            base[i:i + 64] = bytes([colours[rnd.randrange(16)]]) * 64
        row = bytearray(base)
        start = rnd.randrange(len(noise) - width)
        for i in range(0, width, 3):
            if noise[start + i] < 90:
                row[i] = noise[start + i + 1]
        rows.append(bytes(row))
    with open(os.path.join(out, 'chart%02d.bmp' % n), 'wb') as f:
        f.write(b''.join(rows))
PY


files=("$work"/src/*.bmp)
raw=$(cat "${files[@]}" | wc -c)

create_zip() { rm -f "$work/iz.zip" && zip -q -6 -j "$work/iz.zip" "${files[@]}"; }
create_ours() { rm -f "$work/ours.zip" && "$tool" zip create "$work/ours.zip" "${files[@]}"; }
read -r t_ours_c t_zip < <(best_by_turns create_ours create_zip)
s_zip=$(stat -c %s "$work/iz.zip")
s_ours=$(stat -c %s "$work/ours.zip")

mkdir -p "$work/x1" "$work/x2"
extract_unzip() { unzip -o -q "$work/iz.zip" -d "$work/x1"; }
extract_ours() { "$tool" zip extract "$work/iz.zip" "$work/x2"; }
read -r t_ours_x t_unzip < <(best_by_turns extract_ours extract_unzip)
cmp -s <(cat "$work"/x1/*) <(cat "$work"/x2/*) || { echo "extracted bytes differ" >&2; exit 1; }

printf 'data: %d files, %d bytes raw, archive %d bytes (zip -6)\n' "${#files[@]}" "$raw" "$s_zip"
printf 'extract: zrntool %.3fs  unzip -o -q %.3fs  time ratio %.2f (target <= 1.00)\n' \
  "$t_ours_x" "$t_unzip" "$(echo "$t_ours_x $t_unzip" | awk '{print $1/$2}')"
printf 'create:  zrntool %.3fs  zip -q -6 %.3fs  time ratio %.2f (target <= 1.20)\n' \
  "$t_ours_c" "$t_zip" "$(echo "$t_ours_c $t_zip" | awk '{print $1/$2}')"
printf 'create:  zrntool %d bytes  zip %d bytes  size ratio %.4f (target within 1%%)\n' \
  "$s_ours" "$s_zip" "$(echo "$s_ours $s_zip" | awk '{print $1/$2}')"
