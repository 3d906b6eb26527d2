#!/usr/bin/env bash
# A throwaway PostgreSQL server for the team tests, on 127.0.0.1 only:
#   pg-test-server.sh start DIR PORT   TLS with a CA and server certificate
#                                      made for the run (DIR/ca.crt, and
#                                      DIR/other-ca.crt that signed nothing),
#                                      SCRAM-SHA-256 only, plain TCP refused;
#                                      the superuser "company_root" (not one
#                                      of the schema's group roles) with the
#                                      password in DIR/admin.password; the
#                                      login "vera" by client certificate
#                                      only (DIR/vera.crt, DIR/vera.key)
#   pg-test-server.sh stop DIR
# As root the server runs as the "postgres" user, which may not run as root.
set -euo pipefail
cmd=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "pg-test-server.sh: no PostgreSQL server installed" >&2; exit 1; }
as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $cmd in
start)
  port=$3
  mkdir -p "$dir"
  cd "$dir"
  certificate() {  # name subject [signing CA]
    openssl req -newkey rsa:2048 -nodes -subj "$2" -keyout "$1.key" -out "$1.csr" 2>/dev/null
    if [ -n "${3:-}" ]; then
      printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$1.ext"
      openssl x509 -req -in "$1.csr" -CA "$3.crt" -CAkey "$3.key" -CAcreateserial -days 2 \
        -extfile "$1.ext" -out "$1.crt" 2>/dev/null
    else
      openssl x509 -req -in "$1.csr" -signkey "$1.key" -days 2 -out "$1.crt" \
        -extfile <(printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=keyCertSign,cRLSign\n') 2>/dev/null
    fi
  }
  certificate ca "/CN=Zarvex test CA"
  certificate other-ca "/CN=Somebody else's CA"
  certificate server "/CN=localhost" ca
  head -c 18 /dev/urandom | base64 | tr -d '/+=' >admin.password
  chmod 600 server.key
  if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$dir"
    chown -R postgres "$dir"
  fi
  # The client's key stays the client's own: libpq refuses one others may read.
  certificate vera "/CN=vera" ca
  chmod 600 vera.key
  as_server "$bin/initdb" -D "$dir/data" -U company_root --auth=scram-sha-256 --pwfile="$dir/admin.password" \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
  cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
ssl = on
ssl_cert_file = '$dir/server.crt'
ssl_key_file = '$dir/server.key'
ssl_ca_file = '$dir/ca.crt'
password_encryption = scram-sha-256
fsync = off
max_connections = 60
CONF
  cat >"$dir/data/pg_hba.conf" <<HBA
# TLS with SCRAM, or for vera a client certificate; a plain connection is refused.
hostssl all vera 127.0.0.1/32 cert
hostssl all all 127.0.0.1/32 scram-sha-256
host    all all 127.0.0.1/32 reject
local   all all              scram-sha-256
HBA
  as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
  ;;
stop)
  as_server "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  ;;
*)
  echo "pg-test-server.sh start DIR PORT | stop DIR" >&2
  exit 2
  ;;
esac
