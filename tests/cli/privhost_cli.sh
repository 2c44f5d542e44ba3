#!/usr/bin/env bash
# The host's command line as people and scripts use it: init, call, passwd.
# Usage: privhost_cli.sh PRIVHOST
set -u
PRIVHOST=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$(dirname "$0")/../lib/check.sh"

run() { "$PRIVHOST" --db "sqlite:$WORK/t.db" --app-dir "$WORK/app" "$@" 2>"$WORK/stderr"; }

run init --admin-password x >/dev/null
check "init exit status" 0 $?
tables=$(sqlite3 "$WORK/t.db" "SELECT COUNT(*) FROM sqlite_master WHERE type='table' AND name IN ('QX_CZY','QX_CZYRROLE','QX_ROLES','QX_ROLEPRMS','QX_PRMSMAP','QX_CZYQY','QX_CZYZXT','XT_BMXX','XT_QYXX')")
check "init creates the nine tables" 9 "$tables"
check "init creates the built-in posts" "0,AUDITOR,BUSINESS,SYSTEM" "$(sqlite3 "$WORK/t.db" "SELECT group_concat(JS_DM) FROM (SELECT JS_DM FROM QX_ROLES ORDER BY JS_DM)")"
check "init creates admin as super administrator" "0|Y" "$(sqlite3 "$WORK/t.db" "SELECT CZY_LB || '|' || YXBZ FROM QX_CZY WHERE CZY_DM='admin'")"

before=$(sqlite3 "$WORK/t.db" "SELECT PWD FROM QX_CZY WHERE CZY_DM='admin'")
out=$(run init --admin-password other)
check "init on an existing database exits 0" 0 $?
check "init on an existing database changes nothing" "$before" "$(sqlite3 "$WORK/t.db" "SELECT PWD FROM QX_CZY WHERE CZY_DM='admin'")"

check "empty product list" "FilterUserAuthrz 1 a=1" "$(run call FilterUserAuthrz 'a=1')"
out=$(run call LoadLoginForm 'pamCZY_DM=admin;pamPWD=x' LoadLoginForm 'pamCZY_DM=admin;pamPWD=y')
status=$?
check "silent sign-in and a wrong password" $'LoadLoginForm 1 CZY_DM=admin;CZY_LB=0\nLoadLoginForm 0 pamCZY_DM=admin;pamPWD=y' "$out"
check "a false answer exits 1" 1 $status
check "line breaks and backslashes stay on one line" 'FilterUserAuthrz 1 k=a\\b\r\nc' "$(run call FilterUserAuthrz $'k=a\\b\r\nc')"

run call LoadLoginForm '' >/dev/null
check "the login window without a display exits 2" 2 $?
for export in ShowOperatorMgrProc ShowOperatorModifyPwdProc ShowPrivilegeAssignInnerProc; do
  out=$(run call LoadLoginForm 'pamCZY_DM=admin;pamPWD=x' "$export" '')
  check "$export without a display exits 2" 2 $?
  check "$export without a display calls nothing" "" "$out"
done
# On a display the pages open free-standing and keep privhost running until
# they are closed.
if command -v xvfb-run >/dev/null 2>&1; then
  out=$(QT_QPA_PLATFORM=xcb xvfb-run -a timeout 8 "$PRIVHOST" --db "sqlite:$WORK/t.db" --app-dir "$WORK/app" \
    call LoadLoginForm 'pamCZY_DM=admin;pamPWD=x' InitGlobalUserInfo 'CZY_DM=admin' \
    ShowOperatorModifyPwdProc 'ModalFormMsg=a=b' 2>"$WORK/stderr")
  check "an open page keeps privhost running" 124 $?
  check "a window export prints its buffer" "ShowOperatorModifyPwdProc - ModalFormMsg=a=b" "$(printf '%s\n' "$out" | tail -n 1)"
fi
run call NoSuchExport 'a=1' >/dev/null
check "unknown export exits 2" 2 $?
"$PRIVHOST" --db "sqlite:$WORK/missing.db" --app-dir "$WORK/app" call FilterUserAuthrz 'a=1' >/dev/null 2>&1
check "missing database exits 2" 2 $?

run passwd admin --password 'new pw' >/dev/null
check "passwd exit status" 0 $?
check "the new password signs in" "LoadLoginForm 1 CZY_DM=admin;CZY_LB=0" "$(run call LoadLoginForm 'pamCZY_DM=admin;pamPWD=new pw')"
run passwd nobody --password p >/dev/null
check "passwd for an unknown operator exits 1" 1 $?

finish
