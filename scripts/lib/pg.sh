# A throw-away PostgreSQL cluster for the tests: created in a temporary
# folder, listening only on a Unix socket there, run as the unprivileged
# "postgres" user (the server refuses to run as root). Sourced, not run.

priv_pg_bin() {
  ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1
}

# Starts the cluster and exports PRIV_TEST_PG_URL.
priv_pg_start() {
  local bin
  bin=$(priv_pg_bin)
  [ -n "$bin" ] || { echo "PostgreSQL server binaries not found" >&2; return 1; }
  PRIV_PG_DIR=$(mktemp -d /tmp/priv-pg.XXXXXX)
  chown postgres:postgres "$PRIV_PG_DIR"
  chmod 700 "$PRIV_PG_DIR"
  runuser -u postgres -- "$bin/initdb" -D "$PRIV_PG_DIR/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$PRIV_PG_DIR/initdb.log" 2>&1 \
    || { cat "$PRIV_PG_DIR/initdb.log" >&2; return 1; }
  runuser -u postgres -- "$bin/pg_ctl" -D "$PRIV_PG_DIR/data" -l "$PRIV_PG_DIR/server.log" -w \
    -o "-c listen_addresses='' -c unix_socket_directories='$PRIV_PG_DIR' -c fsync=off -c max_connections=100" start >/dev/null \
    || { cat "$PRIV_PG_DIR/server.log" >&2; return 1; }
  export PRIV_TEST_PG_URL="postgresql://postgres@/postgres?host=$PRIV_PG_DIR"
  export PRIV_PG_DIR
  echo "Throw-away PostgreSQL running on socket $PRIV_PG_DIR"
}

priv_pg_stop() {
  [ -n "${PRIV_PG_DIR:-}" ] || return 0
  local bin
  bin=$(priv_pg_bin)
  runuser -u postgres -- "$bin/pg_ctl" -D "$PRIV_PG_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$PRIV_PG_DIR"
  unset PRIV_PG_DIR
}
