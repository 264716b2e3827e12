#!/usr/bin/env bash
# Side by side: zrntool's FTP client against curl, both fetching from the same
# pyftpdlib server on 127.0.0.1 in the same run: one 200 MB file, then 300
# files of 2 to 60 KB (curl gets all URLs in one process, so it reuses its
# connection; zrntool fetches them over one control connection too). The TLS
# row: the same 200 MB file from vsftpd with explicit TLS, forced, and a
# certificate of a test authority made here, fetched by curl --ssl-reqd.
#   bench/ftp_fetch_vs_curl.sh [BULK_MB] [FILES]
set -euo pipefail
cd "$(dirname "$0")/.."
bulk_mb=${1:-200}
files=${2:-300}
if [ ! -x build/release/tools/zrntool ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target zrntool >/dev/null
fi
zrntool=$PWD/build/release/tools/zrntool
work=$(mktemp -d)
server_pid=
tls_server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$tls_server_pid" ] && kill "$tls_server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root/many" "$work/ours" "$work/curl"
head -c $((bulk_mb * 1024 * 1024)) /dev/urandom > "$work/root/bulk.bin"
/usr/bin/python3 - "$work/root/many" "$files" <<'PY'
import os, random, sys
random.seed(7)
for i in range(int(sys.argv[2])):
    with open(os.path.join(sys.argv[1], "f%03d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(2048, 60 * 1024)))
PY
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return
    sleep 0.1
  done
}
port=$(free_port)
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$work/root" >/dev/null 2>&1 &
server_pid=$!
wait_port "$port"
url=ftp://127.0.0.1:$port

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

t0=$(now); "$zrntool" ftp get "$url/bulk.bin" "$work/ours/bulk.bin"; t1=$(now)
curl -s -o "$work/curl/bulk.bin" "$url/bulk.bin"; t2=$(now)
cmp "$work/root/bulk.bin" "$work/ours/bulk.bin"
cmp "$work/root/bulk.bin" "$work/curl/bulk.bin"
ours_bulk=$(elapsed "$t0" "$t1")
curl_bulk=$(elapsed "$t1" "$t2")

ours_args=()
curl_args=()
for f in $(cd "$work/root/many" && ls); do
  ours_args+=("$url/many/$f" "$work/ours/$f")
  curl_args+=("$url/many/$f" -o "$work/curl/$f")
done
t0=$(now); "$zrntool" ftp get "${ours_args[@]}"; t1=$(now)
curl -s "${curl_args[@]}"; t2=$(now)
for f in $(cd "$work/root/many" && ls); do
  cmp "$work/root/many/$f" "$work/ours/$f"
  cmp "$work/root/many/$f" "$work/curl/$f"
done
ours_many=$(elapsed "$t0" "$t1")
curl_many=$(elapsed "$t1" "$t2")

printf 'bulk %d MB: zrntool %.2f s (%.1f MB/s), curl %.2f s (%.1f MB/s); throughput ratio zrntool/curl %.2f (target >= 0.9)\n' \
  "$bulk_mb" "$ours_bulk" "$(echo "$bulk_mb / $ours_bulk" | bc -l)" "$curl_bulk" \
  "$(echo "$bulk_mb / $curl_bulk" | bc -l)" "$(echo "$curl_bulk / $ours_bulk" | bc -l)"
printf '%d small files: zrntool %.2f s, curl %.2f s; time ratio zrntool/curl %.2f (target <= 1.5)\n' \
  "$files" "$ours_many" "$curl_many" "$(echo "$ours_many / $curl_many" | bc -l)"

# The TLS row. vsftpd, started as root, serves the folder as the user ftp:
# the scratch folder opens to others, the authority's folder stays private.
start_vsftpd_tls() {  # sets tls_url and tls_ca
  local tls=$work/tls setup=tests/common/tls_peer_setup.sh tls_port
  chmod 0755 "$work"
  mkdir -m 0700 "$tls"
  "$setup" authority "$tls"
  tls_port=$(free_port)
  "$setup" vsftpd-conf "$tls" "$work/root" "$tls_port" "$tls/good.pem" "$tls/good.key"
  "$setup" vsftpd "$tls" >/dev/null &
  tls_server_pid=$!
  wait_port "$tls_port"
  tls_url=ftp://127.0.0.1:$tls_port
  tls_ca=$tls/ca.pem
}
start_vsftpd_tls
rm -f "$work/curl/bulk.bin"
t0=$(now); curl -sS --ssl-reqd --cacert "$tls_ca" -o "$work/curl/bulk.bin" "$tls_url/bulk.bin"; t1=$(now)
cmp "$work/root/bulk.bin" "$work/curl/bulk.bin"
curl_tls=$(elapsed "$t0" "$t1")
# Our client's TLS fetch of the same URL is timed here once it speaks TLS,
# with the ratio curl/zrntool against the same target as the plain row.
printf 'TLS bulk %d MB from vsftpd: curl --ssl-reqd %.2f s (%.1f MB/s); ours: not yet\n' \
  "$bulk_mb" "$curl_tls" "$(echo "$bulk_mb / $curl_tls" | bc -l)"
