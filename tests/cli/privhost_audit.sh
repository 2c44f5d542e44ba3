#!/usr/bin/env bash
# The operation log on the host's command line: what init, a sign-in and
# passwd leave in it, reading it in its three formats, its check, and init
# adding it to a database made before it.
# Usage: privhost_audit.sh PRIVHOST
set -u
PRIVHOST=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$(dirname "$0")/../lib/check.sh"

run() { "$PRIVHOST" --db "sqlite:$WORK/t.db" --app-dir "$WORK/app" "$@" 2>"$WORK/stderr"; }
db() { sqlite3 "$WORK/t.db" "$1"; }

run init --admin-password x >/dev/null
check "init exit status" 0 $?
check "init records itself" "1|init|数据库|新建数据库，创建超级管理员 admin|成功|" \
  "$(db "SELECT XH || '|' || SJLX || '|' || DXLX || '|' || XQ || '|' || JG || '|' || CZY_DM FROM QX_CZRZ")"

run call LoadLoginForm 'pamCZY_DM=admin;pamPWD=wrong' >/dev/null
run passwd admin --password 'y' >/dev/null
check "a refused sign-in and passwd are recorded" "signin|admin|拒绝;password.change|admin|成功" \
  "$(db "SELECT group_concat(SJLX || '|' || DXDM || '|' || JG, ';') FROM (SELECT * FROM QX_CZRZ WHERE XH>1 ORDER BY XH)")"

out=$(run audit)
check "the table lists every row under a header" 4 "$(printf '%s\n' "$out" | wc -l)"
check "the table's header" "序号" "$(printf '%s\n' "$out" | head -n 1 | awk '{print $1}')"
check "the table shows the events in Chinese" 1 "$(printf '%s\n' "$out" | grep -c '修改密码')"

out=$(run audit --format csv --event password.change)
check "csv: a header and the matching row" 2 "$(printf '%s\n' "$out" | wc -l)"
check "csv: the detail of passwd" 1 "$(printf '%s\n' "$out" | grep -c '密码：已修改（privhost passwd 设置）')"

out=$(run audit --format json --operator ADMIN)
check "json: no row has an operator before a sign-in" "[]" "$(printf '%s' "$out" | tr -d '\n ')"
out=$(run audit --format json --since 2000-01-01 --until 2999-12-31)
check "json parses and holds every row" 3 "$(printf '%s' "$out" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')"

run audit --since yesterday >/dev/null
check "a time that is no time exits 2" 2 $?
run audit --format xml >/dev/null
check "an unknown format exits 2" 2 $?

out=$(run audit verify)
check "verify on an intact log exits 0" 0 $?
check "and says so" 1 "$(printf '%s\n' "$out" | grep -c '操作日志完整：共 3 条记录')"

db "UPDATE QX_CZRZ SET JG='成功' WHERE XH=2"
out=$(run audit verify)
check "verify on an edited row exits 1" 1 $?
check "and names the row" "操作日志已被篡改：第 2 条记录已被修改。" "$out"
db "DELETE FROM QX_CZRZ WHERE XH=2"
check "a removed row is named" "操作日志已被篡改：第 2 条记录已被删除。" "$(run audit verify)"

# A database made before the log gains it, and nothing else changes.
before=$(db "SELECT PWD FROM QX_CZY WHERE CZY_DM='admin'")
db "DROP TABLE QX_CZRZ; DROP TABLE QX_CZRZLT;"
run call LoadLoginForm 'pamCZY_DM=admin;pamPWD=y' >/dev/null
check "without the log a sign-in works as before" 0 $?
run audit >/dev/null
check "reading a database without the log exits 2" 2 $?
out=$(run init --admin-password other)
check "init adds the log and exits 0" 0 $?
check "init says it added the log" "数据库已初始化，已补建操作日志表: sqlite:$WORK/t.db" "$out"
check "the log's first row says so" "1|init|补建操作日志表" "$(db "SELECT XH || '|' || SJLX || '|' || XQ FROM QX_CZRZ")"
check "the rows stay" "$before" "$(db "SELECT PWD FROM QX_CZY WHERE CZY_DM='admin'")"
check "init again changes nothing" "数据库已初始化，未作任何更改: sqlite:$WORK/t.db" "$(run init --admin-password other)"
check "the added log verifies" 0 "$(run audit verify >/dev/null; echo $?)"

# copy and import are recorded in the database they write, in its own log.
to() { "$PRIVHOST" --db "sqlite:$WORK/copy.db" --app-dir "$WORK/app" "$@" 2>"$WORK/stderr"; }
copydb() { sqlite3 "$WORK/copy.db" "$1"; }
run copy --to "sqlite:$WORK/copy.db" >/dev/null
check "copy exit status" 0 $?
check "the copy is the target's first row" "1|copy|数据库|" \
  "$(copydb "SELECT XH || '|' || SJLX || '|' || DXLX || '|' || DXDM FROM QX_CZRZ")"
check "its detail names the source and the rows" 1 \
  "$(copydb "SELECT COUNT(*) FROM QX_CZRZ WHERE XQ LIKE '来源：sqlite:$WORK/t.db；XT_QYXX 0 行；%QX_CZY 1 行；%'")"
check "the source's log is not copied" 1 "$(copydb "SELECT COUNT(*) FROM QX_CZRZ")"
db "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D09', '审计部')"
run export --out "$WORK/doc.json" >/dev/null
to import "$WORK/doc.json" >/dev/null
check "import exit status" 0 $?
check "the import is recorded with its changes" "2|import|数据库|1" \
  "$(copydb "SELECT XH || '|' || SJLX || '|' || DXLX || '|' || (XQ LIKE '文件：$WORK/doc.json；1 项更改；%D09%') FROM QX_CZRZ WHERE XH=2")"
to import "$WORK/doc.json" --dry-run >/dev/null
check "a dry run records nothing" 2 "$(copydb "SELECT COUNT(*) FROM QX_CZRZ")"
check "the target's log verifies" 0 "$(to audit verify >/dev/null; echo $?)"
sqlite3 "$WORK/copy.db" "CREATE TRIGGER no_rows BEFORE INSERT ON QX_CZRZ BEGIN SELECT RAISE(ABORT, 'full'); END;"
db "INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(0, 'D10', '内审部')"
run export --out "$WORK/doc.json" >/dev/null
to import "$WORK/doc.json" >/dev/null
check "an import whose record cannot be written fails" 1 $?
check "and leaves nothing" 0 "$(copydb "SELECT COUNT(*) FROM XT_BMXX WHERE BM_DM='D10'")"

# Purging keeps the chain verifiable and is recorded.
rows=$(db "SELECT COUNT(*) FROM QX_CZRZ")
out=$(run audit purge --before 2999-01-01)
check "purge exit status" 0 $?
check "purge says what went" 1 "$(printf '%s\n' "$out" | grep -c "已清除第 1 至 $rows 条记录，共 $rows 条")"
check "a checkpoint and the purge's row stay" "audit.checkpoint;audit.purge" \
  "$(db "SELECT group_concat(SJLX, ';') FROM (SELECT SJLX FROM QX_CZRZ ORDER BY XH)")"
check "the purged log verifies" 0 "$(run audit verify >/dev/null; echo $?)"
run audit purge >/dev/null
check "purge without --before exits 2" 2 $?

finish
