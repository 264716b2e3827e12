#!/usr/bin/env bash
# Side by side: zrntool's FTP client against curl, both fetching from the same
# pyftpdlib server on 127.0.0.1 in the same run, by turns, RUNS rounds (best
# of each): one 200 MB file, then 300 files of 2 to 60 KB (curl gets all URLs
# in one process, so it reuses its connection; zrntool fetches them over one
# control connection too). The TLS row: the same 200 MB file from vsftpd with
# explicit TLS, forced, and a certificate of a test authority made here,
# fetched by zrntool --tls require (trusting the authority through
# SSL_CERT_FILE) and by curl --ssl-reqd --cacert.
#   bench/ftp_fetch_vs_curl.sh [BUILD_DIR] [BULK_MB] [FILES] [RUNS]
# BUILD_DIR defaults to the release build (cmake --preset release; cmake
# --build --preset release --target zrntool).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
bulk_mb=${2:-200}
files=${3:-300}
runs=${4:-3}
zrntool=$build/tools/zrntool
[ -x "$zrntool" ] || { echo "not built: $zrntool" >&2; exit 2; }
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

. bench/bench_lib.sh

ours_args=()
curl_args=()
for f in $(cd "$work/root/many" && ls); do
  ours_args+=("$url/many/$f" "$work/ours/$f")
  curl_args+=("$url/many/$f" -o "$work/curl/$f")
done
ours_bulk() { "$zrntool" ftp get "$url/bulk.bin" "$work/ours/bulk.bin"; }
curl_bulk() { curl -s -o "$work/curl/bulk.bin" "$url/bulk.bin"; }
ours_many() { "$zrntool" ftp get "${ours_args[@]}"; }
curl_many() { curl -s "${curl_args[@]}"; }

read -r t_ours_bulk t_curl_bulk < <(best_by_turns ours_bulk curl_bulk)
cmp "$work/root/bulk.bin" "$work/ours/bulk.bin"
cmp "$work/root/bulk.bin" "$work/curl/bulk.bin"
read -r t_ours_many t_curl_many < <(best_by_turns ours_many curl_many)
for f in $(cd "$work/root/many" && ls); do
  cmp "$work/root/many/$f" "$work/ours/$f"
  cmp "$work/root/many/$f" "$work/curl/$f"
done

printf 'bulk %d MB: zrntool %.2f s (%.1f MB/s), curl %.2f s (%.1f MB/s); throughput ratio zrntool/curl %.2f (target >= 0.9)\n' \
  "$bulk_mb" "$t_ours_bulk" "$(echo "$bulk_mb / $t_ours_bulk" | bc -l)" "$t_curl_bulk" \
  "$(echo "$bulk_mb / $t_curl_bulk" | bc -l)" "$(echo "$t_curl_bulk / $t_ours_bulk" | bc -l)"
printf '%d small files: zrntool %.2f s, curl %.2f s; time ratio zrntool/curl %.2f (target <= 1.5)\n' \
  "$files" "$t_ours_many" "$t_curl_many" "$(echo "$t_ours_many / $t_curl_many" | bc -l)"

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
rm -f "$work/ours/bulk.bin" "$work/curl/bulk.bin"
ours_tls() { SSL_CERT_FILE=$tls_ca "$zrntool" ftp get "$tls_url/bulk.bin" "$work/ours/bulk.bin" --tls require; }
curl_tls() { curl -sS --ssl-reqd --cacert "$tls_ca" -o "$work/curl/bulk.bin" "$tls_url/bulk.bin"; }
read -r t_ours_tls t_curl_tls < <(best_by_turns ours_tls curl_tls)
cmp "$work/root/bulk.bin" "$work/ours/bulk.bin"
cmp "$work/root/bulk.bin" "$work/curl/bulk.bin"
printf 'TLS bulk %d MB from vsftpd: zrntool %.2f s (%.1f MB/s), curl --ssl-reqd %.2f s (%.1f MB/s); throughput ratio zrntool/curl %.2f (target >= 0.9)\n' \
  "$bulk_mb" "$t_ours_tls" "$(echo "$bulk_mb / $t_ours_tls" | bc -l)" "$t_curl_tls" \
  "$(echo "$bulk_mb / $t_curl_tls" | bc -l)" "$(echo "$t_curl_tls / $t_ours_tls" | bc -l)"
