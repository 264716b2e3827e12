# Shared by the side-by-side benchmarks: timing, memory and the payload of a
# chart-set archive. Source it after setting $work (a scratch folder) and
# $runs (how often each job runs).

wall_s() {  # wall seconds of one run of "$@"
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null
  e=$(date +%s.%N)
  echo "$s $e" | awk '{print $2 - $1}'
}

least() {  # the smaller of two numbers; an empty second one counts as none
  echo "$1 ${2:-999999}" | awk '{print ($1 < $2) ? $1 : $2}'
}

best() {  # best wall time in seconds of running "$@" $runs times
  local best_t=""
  for _ in $(seq "$runs"); do best_t=$(least "$(wall_s "$@")" "$best_t"); done
  echo "$best_t"
}

best_by_turns() {  # OURS PEER (commands without arguments): each run $runs times,
  # taking turns, so that both meet the same moments of a busy machine;
  # prints the best wall seconds of each
  local ours="" peer=""
  for _ in $(seq "$runs"); do
    ours=$(least "$(wall_s "$1")" "$ours")
    peer=$(least "$(wall_s "$2")" "$peer")
  done
  echo "$ours $peer"
}

cpu_once() {  # user+system seconds of one run of "$@"
  local TIMEFORMAT="%U %S"
  { time "$@" >/dev/null 2>&1; } 2>"$work/cpu"
  awk '{print $1 + $2}' "$work/cpu"
}

cpu_s() {  # least user+system seconds of running "$@" $runs times (steady on a busy machine)
  local least_t=""
  for _ in $(seq "$runs"); do least_t=$(least "$(cpu_once "$@")" "$least_t"); done
  echo "$least_t"
}

cpu_by_turns() {  # OURS PEER: as best_by_turns, in user+system seconds
  local ours="" peer=""
  for _ in $(seq "$runs"); do
    ours=$(least "$(cpu_once "$1")" "$ours")
    peer=$(least "$(cpu_once "$2")" "$peer")
  done
  echo "$ours $peer"
}

peak_kb() {  # peak resident memory in KB of one run of "$@"
  /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null
  cat "$work/mem"
}

ratio_line() {  # LABEL OURS PEER TARGET: the ratio OURS/PEER against the target
  echo "$2 $3 $4" | awk -v label="$1" \
    '{r = $1 / $2; printf "%s: %.2f (target at most %s)%s\n", label, r, $3, (r <= $3) ? "" : "  OVER TARGET"}'
}

zra_payload() {  # ZRA ZIP: the zip archive inside a .zra file, complemented back
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
n = max(struct.unpack_from("<i", data, 4)[0], 0)
open(sys.argv[2], "wb").write(bytes(b ^ 0xFF for b in data[24 + n:]))
PY
}

largest_8bit_image() {  # ZIP: bytes of the largest 8-bit image of the chart files in a plain zip
  /usr/bin/python3 - "$1" <<'PY'
import struct, sys, zipfile
largest = 0
with zipfile.ZipFile(sys.argv[1]) as z:
    for name in z.namelist():
        if not name.lower().endswith(".zrn"):
            continue
        with z.open(name) as f:
            head = f.read(14 + 30)
        width, height, _, bits = struct.unpack_from("<iiHH", head, 14 + 18)
        if bits == 8:
            largest = max(largest, abs(width) * abs(height))
print(largest)
PY
}
