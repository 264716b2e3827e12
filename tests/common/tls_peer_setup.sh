#!/usr/bin/env bash
# The TLS side of the test and benchmark servers, made on this machine:
#
#   tls_peer_setup.sh authority DIR
#     A certificate authority of our own (ca.pem) in DIR, and server keys
#     and certificates (NAME.pem, NAME.key), all EC P-256:
#       good      for localhost and 127.0.0.1, signed by ca.pem
#       otherhost for chartserver.invalid only, signed by ca.pem
#       expired   for localhost and 127.0.0.1, valid from two days ago to
#                 yesterday, signed by ca.pem
#       stranger  for localhost and 127.0.0.1, signed by an authority of
#                 its own (stranger-ca.pem) that no trust store holds
#     The authorities' keys are deleted once the certificates are signed.
#
#   tls_peer_setup.sh vsftpd-conf DIR ROOT PORT CERT KEY
#     Writes DIR/vsftpd.conf: vsftpd on 127.0.0.1:PORT in the foreground,
#     anonymous and read-only on ROOT, TLS 1.2 or newer with CERT and KEY,
#     forced for the anonymous login and every data connection (with the
#     session of the control connection reused), and the whole conversation
#     and each connection's TLS outcome in DIR/vsftpd.log.
#
#   tls_peer_setup.sh vsftpd DIR
#     Becomes vsftpd with DIR/vsftpd.conf (exec: stopping the PID stops it).
#     scripts/install-deps unpacks the program to $VSFTPD.
#
# DIR must exist and should be private (mkdtemp): it receives private keys.
set -euo pipefail
VSFTPD=/usr/local/lib/zarnavis-test-peers/vsftpd

authority() {
  local dir=$1
  cd "$dir"
  cat >ca.cnf <<'EOF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Zarnavis test authority
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ca]
default_ca = signer
[signer]
database = index.txt
new_certs_dir = issued
default_md = sha256
policy = any
unique_subject = no
email_in_dn = no
rand_serial = yes
[any]
commonName = supplied
[localhost]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
[otherhost]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:chartserver.invalid
EOF
  local ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
  openssl req -config ca.cnf -x509 "${ec[@]}" -keyout ca.key -out ca.pem -days 30 \
    -extensions authority -subj "/CN=Zarnavis test authority" 2>/dev/null
  openssl req -config ca.cnf -x509 "${ec[@]}" -keyout stranger-ca.key -out stranger-ca.pem \
    -days 30 -extensions authority -subj "/CN=Stranger authority" 2>/dev/null
  : >index.txt
  mkdir -p issued
  # NAME CN EXTENSIONS ISSUER [openssl ca options for the dates]
  sign() {
    local name=$1 cn=$2 ext=$3 issuer=$4
    shift 4
    openssl req -config ca.cnf "${ec[@]}" -keyout "$name.key" -out "$name.csr" \
      -subj "/CN=$cn" 2>/dev/null
    openssl ca -config ca.cnf -batch -notext -extensions "$ext" -cert "$issuer.pem" \
      -keyfile "$issuer.key" -in "$name.csr" -out "$name.pem" "$@" 2>/dev/null
    rm -f "$name.csr"
  }
  sign good localhost localhost ca -days 30
  sign otherhost chartserver.invalid otherhost ca -days 30
  sign expired localhost localhost ca -startdate "$(date -u -d '-2 days' +%y%m%d%H%M%SZ)" \
    -enddate "$(date -u -d '-1 day' +%y%m%d%H%M%SZ)"
  sign stranger localhost localhost stranger-ca -days 30
  # What signing leaves behind (copies by serial number, the database), and
  # the authorities' keys: nothing is signed after this.
  rm -rf issued index.txt* ca.key stranger-ca.key
}

vsftpd_conf() {
  local dir=$1 root=$2 port=$3 cert=$4 key=$5
  # vsftpd keeps its sessions in an empty folder that no one may write to.
  mkdir -p "$dir/vsftpd-empty"
  chmod 0755 "$dir/vsftpd-empty"
  local launcher=NO
  # Only root can change to the anonymous user and into ROOT; anyone else
  # runs it as themself with no chroot around the session: paths relative
  # to the login folder still reach ROOT, absolute ones the machine's own.
  [ "$(id -u)" -ne 0 ] && launcher=YES
  cat >"$dir/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
run_as_launching_user=$launcher
anonymous_enable=YES
no_anon_password=NO
anon_root=$root
ftp_username=ftp
local_enable=NO
write_enable=NO
anon_upload_enable=NO
anon_mkdir_write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
port_enable=YES
connect_from_port_20=NO
secure_chroot_dir=$dir/vsftpd-empty
seccomp_sandbox=NO
use_localtime=NO
hide_ids=YES
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_sslv2=NO
ssl_sslv3=NO
ssl_tlsv1=NO
ssl_ciphers=HIGH
ssl_request_cert=NO
rsa_cert_file=$cert
rsa_private_key_file=$key
xferlog_enable=YES
xferlog_std_format=NO
vsftpd_log_file=$dir/vsftpd.log
log_ftp_protocol=YES
debug_ssl=YES
EOF
}

case "${1:-}" in
  authority) authority "$2" ;;
  vsftpd-conf) vsftpd_conf "$2" "$3" "$4" "$5" "$6" ;;
  vsftpd)
    [ -x "$VSFTPD" ] || { echo "$VSFTPD is missing: run scripts/install-deps" >&2; exit 127; }
    exec "$VSFTPD" "$2/vsftpd.conf"
    ;;
  *)
    echo "usage: $0 authority DIR | vsftpd-conf DIR ROOT PORT CERT KEY | vsftpd DIR" >&2
    exit 2
    ;;
esac
