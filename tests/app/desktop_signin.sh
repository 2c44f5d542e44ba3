#!/usr/bin/env bash
# How the desktop host starts: the sign-in options, their exit statuses, and a
# signed-in operator reaching the main window.
# Usage: desktop_signin.sh PRIVHOST
set -u
PRIVHOST=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$(dirname "$0")/../lib/check.sh"

run() { "$PRIVHOST" --db "sqlite:$WORK/t.db" --app-dir "$WORK/app" --company 1001 "$@" 2>"$WORK/stderr" </dev/null; }

run init --admin-password admin123 --demo >/dev/null
check "init exit status" 0 $?


run --code admin --password wrong
check "a wrong password ends the desktop with 1" 1 $?
run --code zhoujie --password zj2024
check "a disabled operator ends the desktop with 1" 1 $?
run --code nobody --password x
check "an unknown operator ends the desktop with 1" 1 $?
run --password admin123
check "--password without --code is a usage error" 2 $?
run --code admin passwd admin --password p
check "--code before a command is a usage error" 2 $?

# A good sign-in opens the main window and stays there until it is closed.
timeout 8 "$PRIVHOST" --db "sqlite:$WORK/t.db" --app-dir "$WORK/app" --company 1001 --code lina \
  --password ln2024 </dev/null 2>"$WORK/stderr"
check "a signed-in operator keeps the main window open" 124 $?
stamped=$(sqlite3 "$WORK/t.db" "SELECT COUNT(*) FROM QX_CZY WHERE CZY_DM='lina' AND ZHDLSJ IS NOT NULL AND ZHDLSJ<>''")
check "the sign-in is stamped as the operator's last" 1 "$stamped"

finish
