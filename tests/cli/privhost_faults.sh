#!/usr/bin/env bash
# privhost when the files and the server fail it: init on a full disk, init
# that finds a half-made database, init into a folder it cannot write,
# damaged SQLite files, and a PostgreSQL session that dies during init.
# Usage: privhost_faults.sh PRIVHOST SCHEMA_DIR
set -u
PRIVHOST=$1
SCHEMA_DIR=$2
WORK=$(mktemp -d)
MOUNTS=()
cleanup() {
  for m in "${MOUNTS[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT
source "$(dirname "$0")/../lib/check.sh"

# privhost on the database file $1 (and the app folder $WORK/app).
on() { local db=$1; shift; "$PRIVHOST" --db "sqlite:$db" --app-dir "$WORK/app" "$@" 2>"$WORK/stderr"; }
signs_in() { on "$1" call LoadLoginForm "pamCZY_DM=$2;pamPWD=$3" | cut -d' ' -f2; }
can_mount() { [ "$(id -u)" -eq 0 ] && mkdir -p "$WORK/probe" && mount -t tmpfs -o size=64k tmpfs "$WORK/probe" 2>/dev/null && umount "$WORK/probe"; }

# --- init on a full disk: a whole database or none, and init again works ------
if can_mount; then
  disk="$WORK/disk"
  mkdir -p "$disk"
  mount -t tmpfs -o size=4k tmpfs "$disk" && MOUNTS+=("$disk")
  failed=0
  # From too small for anything up to room for everything, a page at a time
  # near the end: the demo database is about 110 kB and its journal needs room
  # at the same time.
  for kb in 4 16 32 48 64 80 96 104 108 112 116 120 128 144 160 192 256 512; do
    rm -f "$disk"/*
    mount -o remount,size=${kb}k "$disk" || { check "tmpfs takes ${kb} kB" 0 $?; break; }
    on "$disk/p.db" init --admin-password x --demo >/dev/null
    status=$?
    if [ $status -ne 0 ]; then
      failed=$((failed + 1))
      check "init on ${kb} kB fails as a setup error" 2 $status
      check "and leaves no database file behind (${kb} kB)" "no" "$([ -e "$disk/p.db" ] && echo yes || echo no)"
      check "nor a journal (${kb} kB)" "" "$(ls "$disk")"
      grep -q 'privhost init' "$WORK/stderr"
      check "and says to run init again (${kb} kB)" 0 $?
      # With room again, init makes the whole database.
      mount -o remount,size=4m "$disk"
      on "$disk/p.db" init --admin-password x --demo >/dev/null
      check "init with room after ${kb} kB" 0 $?
      check "signs the super administrator in (${kb} kB)" 1 "$(signs_in "$disk/p.db" admin x)"
      check "and a demo operator (${kb} kB)" 1 "$(signs_in "$disk/p.db" zhaomin zm2024)"
    else
      check "init that fits makes the whole database (${kb} kB)" 1 "$(signs_in "$disk/p.db" zhaomin zm2024)"
      break
    fi
  done
  check "some sizes were too small" yes "$([ $failed -ge 3 ] && echo yes || echo no)"

  # The disk fills up while a half-made database is completed: it stays as it was.
  rm -f "$disk"/*
  mount -o remount,size=4m "$disk"
  sqlite3 "$disk/h.db" <"$SCHEMA_DIR/schema-sqlite.sql"
  # Room for the file and a few pages more, then all of it taken but those.
  mount -o remount,size=$(( $(stat -c %s "$disk/h.db") / 1024 + 64 ))k "$disk"
  cat /dev/zero >"$disk/filler" 2>/dev/null
  truncate -s -8k "$disk/filler"
  before=$(sqlite3 "$disk/h.db" .dump | md5sum)
  on "$disk/h.db" init --admin-password x --demo >/dev/null
  check "completing on a full disk fails" 2 $?
  check "and leaves the database as it was" "$before" "$(sqlite3 "$disk/h.db" .dump | md5sum)"
  umount "$disk" && MOUNTS=()
else
  echo "skipped: init on a full disk needs root to mount a small tmpfs"
fi

# --- a half-made database from an older init ----------------------------------
sqlite3 "$WORK/half.db" <"$SCHEMA_DIR/schema-sqlite.sql"
sqlite3 "$WORK/half.db" "DELETE FROM QX_ROLES WHERE JS_DM='AUDITOR'"
out=$(on "$WORK/half.db" init --admin-password x)
check "init completes a database without super administrator" 0 $?
check "and says so" 1 "$(grep -c '没有超级管理员' <<<"$out")"
check "the super administrator signs in" 1 "$(signs_in "$WORK/half.db" admin x)"
check "the missing built-in post is back" "0,AUDITOR,BUSINESS,SYSTEM" \
  "$(sqlite3 "$WORK/half.db" "SELECT group_concat(JS_DM) FROM (SELECT JS_DM FROM QX_ROLES ORDER BY JS_DM)")"

sqlite3 "$WORK/taken.db" <"$SCHEMA_DIR/schema-sqlite.sql"
sqlite3 "$WORK/taken.db" "INSERT INTO QX_CZY(CZY_DM, CZY_LB, YXBZ) VALUES('admin', '', 'Y')"
before=$(sqlite3 "$WORK/taken.db" .dump | md5sum)
on "$WORK/taken.db" init --admin-password x >/dev/null
check "init refuses when the code admin is taken by an ordinary operator" 2 $?
check "and says what to do" 1 "$(grep -c 'CZY_LB 设为 0' "$WORK/stderr")"
check "changing nothing" "$before" "$(sqlite3 "$WORK/taken.db" .dump | md5sum)"

# --- init into a folder it cannot write -------------------------------------
# Permission bits do not stop root: a read-only mount does, and a path under
# a regular file stops everybody.
printf 'a file' >"$WORK/plain"
"$PRIVHOST" --app-dir "$WORK/plain/app" init --admin-password x >/dev/null 2>"$WORK/stderr"
check "init under a regular file exits 2" 2 $?
check "and names the app folder" 1 "$(grep -c "无法写入应用目录 $WORK/plain/app" "$WORK/stderr")"
check "not the applications file" 0 "$(grep -c '应用程序文件' "$WORK/stderr")"
readonly_dir="$WORK/ro"
mkdir -p "$readonly_dir"
if can_mount && mount -t tmpfs -o ro,size=64k tmpfs "$readonly_dir"; then
  MOUNTS+=("$readonly_dir")
elif [ "$(id -u)" -ne 0 ]; then
  chmod 555 "$readonly_dir"
else
  readonly_dir=
fi
if [ -n "$readonly_dir" ]; then
  "$PRIVHOST" --app-dir "$readonly_dir" init --admin-password x >/dev/null 2>"$WORK/stderr"
  check "init into a read-only app folder exits 2" 2 $?
  check "and names the folder" 1 "$(grep -c "无法写入应用目录 $readonly_dir" "$WORK/stderr")"
  check "not the applications file" 0 "$(grep -c '应用程序文件' "$WORK/stderr")"
else
  echo "skipped: a read-only app folder needs a tmpfs mount as root"
fi
# The applications file is there but the database folder cannot be made.
mkdir -p "$WORK/app2" && cp "$WORK/app/apps.json" "$WORK/app2/"
printf 'a file' >"$WORK/app2/data"
"$PRIVHOST" --app-dir "$WORK/app2" init --admin-password x >/dev/null 2>"$WORK/stderr"
check "init whose database folder cannot be made exits 2" 2 $?
check "and names the database folder" 1 "$(grep -c "无法写入数据库文件夹 $WORK/app2/data" "$WORK/stderr")"

# --- damaged SQLite files ---------------------------------------------------------
on "$WORK/good.db" init --admin-password x --demo >/dev/null
root=$(sqlite3 "$WORK/good.db" "SELECT rootpage FROM sqlite_master WHERE name='QX_CZY'")
damage() { # kind file
  cp "$WORK/good.db" "$2"
  case $1 in
    header) printf 'SQLite format 9\0garbage' | dd of="$2" bs=1 seek=0 conv=notrunc 2>/dev/null ;;
    page) head -c 4096 /dev/urandom | tr '\0' '\377' | dd of="$2" bs=4096 seek=$((root - 1)) count=1 conv=notrunc 2>/dev/null ;;
    truncated) truncate -s 4096 "$2" ;;
    text) printf 'Operators:\nadmin x\n' >"$2" ;;
  esac
}
# kind | the database's own text
while IFS='|' read -r kind text; do
  file="$WORK/damaged-$kind.db"
  damage "$kind" "$file"
  rm -rf "$WORK/app/Log"
  out=$(on "$file" call LoadLoginForm 'pamCZY_DM=admin;pamPWD=x')
  status=$?
  check "$kind: LoadLoginForm answers 0 and leaves the buffer" "1|LoadLoginForm 0 pamCZY_DM=admin;pamPWD=x" "$status|$out"
  # The refused sign-in's row in the operation log meets the same damage
  # and says so too: at least once each.
  check "$kind: privhost prints the database's reason" yes \
    "$([ "$(grep -c "数据库操作失败：$text" "$WORK/stderr")" -ge 1 ] && echo yes || echo no)"
  check "$kind: the host's log names it" yes \
    "$([ "$(grep -c "ERROR.*$text" "$WORK/app/Log/privilege.log" 2>/dev/null)" -ge 1 ] && echo yes || echo no)"
  out=$(on "$file" call InitGlobalUserInfo 'CZY_DM=admin' FilterUserAuthrz 'authedProdcList=02001')
  check "$kind: the filter without a session answers its message" \
    $'InitGlobalUserInfo 0 CZY_DM=admin\nFilterUserAuthrz 0 authedProdcList=02001;ResultMsgStr=[70018511]过滤用户系统权限发生错误。' "$out"
  on "$file" init --admin-password x >/dev/null
  check "$kind: init does not write over it" 2 $?
  check "$kind: and says it cannot read it" 1 "$(grep -c "无法读取数据库.*$text" "$WORK/stderr")"
done <<'EOF'
header|file is not a database
page|database disk image is malformed
truncated|database disk image is malformed
text|file is not a database
EOF

# --- PostgreSQL: the session dies in the middle of init -------------------------
PSQL=$(command -v psql || ls /usr/lib/postgresql/*/bin/psql 2>/dev/null | sort -V | tail -n 1)
if [ -n "${PRIV_TEST_PG_URL:-}" ] && [ -n "${PSQL:-}" ]; then
  name="privhost_faults_$$"
  base_url=${PRIV_TEST_PG_URL}
  db_url=$(sed -E "s#(://[^/?]*)/[^?]*#\1/$name#" <<<"$base_url")
  "$PSQL" -q -v ON_ERROR_STOP=1 "$base_url" -c "CREATE DATABASE $name" >/dev/null
  # The server ends init's own session at the super administrator's insert,
  # after the tables and the built-in posts: an event trigger gives the new
  # operator table a trigger that terminates the inserting backend.
  "$PSQL" -q -v ON_ERROR_STOP=1 "$db_url" >/dev/null <<'SQL'
CREATE FUNCTION end_session() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$;
CREATE FUNCTION arm() RETURNS event_trigger LANGUAGE plpgsql AS $$
DECLARE r record;
BEGIN
  FOR r IN SELECT * FROM pg_event_trigger_ddl_commands() LOOP
    IF r.object_identity = 'public.qx_czy' AND r.command_tag = 'CREATE TABLE' THEN
      EXECUTE 'CREATE TRIGGER cut AFTER INSERT ON qx_czy FOR EACH ROW EXECUTE FUNCTION end_session()';
    END IF;
  END LOOP;
END $$;
CREATE EVENT TRIGGER arm_cut ON ddl_command_end EXECUTE FUNCTION arm();
SQL
  "$PRIVHOST" --db "$db_url" --app-dir "$WORK/pgapp" init --admin-password x --demo >/dev/null 2>"$WORK/stderr"
  check "PostgreSQL: init whose session dies exits 2" 2 $?
  check "PostgreSQL: nothing of it is committed" 0 \
    "$("$PSQL" -tA "$db_url" -c "SELECT COUNT(*) FROM information_schema.tables WHERE table_name LIKE 'qx_%' OR table_name LIKE 'xt_%'")"
  check "PostgreSQL: the failed transaction is named" 1 "$(grep -c '事务已失败' "$WORK/stderr")"
  "$PSQL" -q "$db_url" -c "DROP EVENT TRIGGER arm_cut" >/dev/null
  "$PRIVHOST" --db "$db_url" --app-dir "$WORK/pgapp" init --admin-password x --demo >/dev/null 2>"$WORK/stderr"
  check "PostgreSQL: init again works" 0 $?
  out=$("$PRIVHOST" --db "$db_url" --app-dir "$WORK/pgapp" call LoadLoginForm 'pamCZY_DM=zhaomin;pamPWD=zm2024' 2>&1)
  check "PostgreSQL: and the database is whole" "LoadLoginForm 1 CZY_DM=zhaomin;CZY_LB=GW00001" "$out"
  "$PSQL" -q "$base_url" -c "DROP DATABASE $name WITH (FORCE)" >/dev/null
elif [ "${PRIV_REQUIRE_PG:-}" = 1 ]; then
  check "PRIV_REQUIRE_PG=1 needs PRIV_TEST_PG_URL and psql" yes no
else
  echo "skipped: the PostgreSQL part needs PRIV_TEST_PG_URL (scripts/lib/pg.sh) and psql"
fi

finish
