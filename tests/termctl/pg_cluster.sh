#!/usr/bin/env bash
# pg_cluster.sh start|stop DIR: a throw-away PostgreSQL server for the sync
# tests, listening only on a Unix socket in DIR/socket, run by an
# unprivileged user (the "postgres" account when started as root). After
# start, DIR/url holds the connection URL of database "postgres".
set -euo pipefail
action="$1"
dir="$2"
bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "pg_cluster: no PostgreSQL server found (Debian: apt-get install postgresql)" >&2
  exit 1
fi
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$action" in
  start)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir/socket"
    [ "$(id -u)" -ne 0 ] || chown -R postgres "$dir"
    user="$(id -un)"
    [ "$(id -u)" -ne 0 ] || user=postgres
    as_owner "$bindir/initdb" -D "$dir/data" -U "$user" --auth=trust --no-sync -E UTF8 \
      >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-c listen_addresses= -c unix_socket_directories=$dir/socket -c fsync=off" start \
      >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "postgresql:///postgres?host=$dir/socket&user=$user" >"$dir/url"
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: pg_cluster.sh start|stop DIR" >&2
    exit 2
    ;;
esac
