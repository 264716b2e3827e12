# Shared by the side-by-side benchmarks: timing, memory and the payload of a
# chart-set archive. Source it after setting $work (a scratch folder) and
# $runs (how often each job runs).

best() {  # best wall time in seconds of running "$@" $runs times
  local best_t=""
  for _ in $(seq "$runs"); do
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null
    e=$(date +%s.%N)
    best_t=$(echo "$s $e ${best_t:-999999}" | awk '{t=$2-$1; print (t<$3)?t:$3}')
  done
  echo "$best_t"
}

peak_kb() {  # peak resident memory in KB of one run of "$@"
  /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null
  cat "$work/mem"
}

cpu_s() {  # least user+system seconds of running "$@" $runs times (steady on a busy machine)
  local least="" TIMEFORMAT="%U %S"
  for _ in $(seq "$runs"); do
    { time "$@" >/dev/null 2>&1; } 2>"$work/cpu"
    least=$(awk -v l="${least:-999999}" '{t=$1+$2; print (t<l)?t:l}' "$work/cpu")
  done
  echo "$least"
}

zra_payload() {  # ZRA ZIP: the zip archive inside a .zra file, complemented back
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
n = max(struct.unpack_from("<i", data, 4)[0], 0)
open(sys.argv[2], "wb").write(bytes(b ^ 0xFF for b in data[24 + n:]))
PY
}
