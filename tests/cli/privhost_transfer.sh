#!/usr/bin/env bash
# Moving privilege data with the host's command line: export and import of
# the JSON document, operators from a spreadsheet, and copying the tables
# between SQLite and PostgreSQL, with the faults that must change nothing.
# Usage: privhost_transfer.sh PRIVHOST
set -u
PRIVHOST=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
source "$(dirname "$0")/../lib/check.sh"
export QT_QPA_PLATFORM=offscreen PGOPTIONS="-c client_min_messages=warning"

ph() { "$PRIVHOST" --db "$1" --app-dir "$WORK/app" "${@:2}" 2>"$WORK/stderr"; }
# Every row of every privilege table, in one order: what "nothing changed" compares.
dump() { for t in QX_CZY QX_CZYRROLE QX_ROLES QX_PRMSMAP QX_ROLEPRMS QX_CZYQY QX_CZYZXT XT_BMXX XT_QYXX; do
  sqlite3 -cmd ".mode quote" "$1" "SELECT '$t', * FROM $t" | sort; done | md5sum; }
# One table's rows, nulls told from empty texts, in one order.
rows() { sqlite3 -cmd ".mode quote" "$1" "SELECT * FROM $2" | sort | md5sum; }

SRC="sqlite:$WORK/src.db"
ph "$SRC" init --admin-password x --demo >/dev/null
# Another workstation's life: a sign-in time, a time limit, a department name
# holding a quote.
sqlite3 "$WORK/src.db" "UPDATE QX_CZY SET ZHDLSJ='2024-03-01 08:15', XZSJ='2025-12-31 23:59', SFXZSJ='1' WHERE CZY_DM='lina';
  UPDATE XT_BMXX SET BM_MC='财务部''一组' WHERE BM_DM='BM02';"

# --- export ---------------------------------------------------------------------
ph "$SRC" export --out "$WORK/a.json" >/dev/null
check "export exit status" 0 $?
check "the file is its owner's alone" 600 "$(stat -c %a "$WORK/a.json")"
check "standard error says it holds passwords" 1 "$(grep -c '密码' "$WORK/stderr")"
check "the document names its format and version" "privhost-privileges|1" \
  "$(python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(d["format"]+"|"+str(d["version"]))' "$WORK/a.json")"
check "grants are by company, sub-application and function codes" \
  '[{"company": 1001}, {"company": 1002}, {"applications": [{"code": "01", "functions": ["01003-01-20-00-00"]}, {"code": "02", "functions": ["02001-01-01-00-00", "02001-01-02-00-00", "02001-01-03-00-00"]}], "company": 1003}]' \
  "$(python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(json.dumps([p for p in d["posts"] if p["code"]=="GW00001"][0]["grants"], sort_keys=True, ensure_ascii=False))' "$WORK/a.json")"
check "the built-in posts made afresh do not travel" "AUDITOR,GW00001,GW00002" \
  "$(python3 -c 'import json,sys; print(",".join(p["code"] for p in json.load(open(sys.argv[1]))["posts"]))' "$WORK/a.json")"
ph "$SRC" export --out "$WORK/again.json" >/dev/null
check "two exports of the same data are the same bytes" "" "$(cmp "$WORK/a.json" "$WORK/again.json")"
ph "$SRC" export --without-passwords >"$WORK/nopw.json"
check "--without-passwords leaves every password out" "0|0" "$?|$(grep -c '"password"' "$WORK/nopw.json")"

# An empty database of another office: init, and the host's companies.
empty() {
  rm -f "$WORK/$1.db"
  ph "sqlite:$WORK/$1.db" init --admin-password other >/dev/null
  sqlite3 "$WORK/src.db" ".dump XT_QYXX" | grep '^INSERT' | sqlite3 "$WORK/$1.db"
}

# --- import into an empty database, SQLite ----------------------------------------
empty dst
before=$(dump "$WORK/dst.db")
out=$(ph "sqlite:$WORK/dst.db" import "$WORK/a.json" --dry-run)
check "a dry run exits 0" 0 $?
check "a dry run writes nothing" "$before" "$(dump "$WORK/dst.db")"
check "a dry run lists the changes" 1 "$(grep -c '^新增岗位 GW00001（税务会计）$' <<<"$out")"
out=$(ph "sqlite:$WORK/dst.db" import "$WORK/a.json")
check "import exit status" 0 $?
check "import names the grants it gives" 1 "$(grep -c '^岗位 GW00001 的授权：新增单位 1001（整个单位）、1002（整个单位）、1003$' <<<"$out")"
check "and says that the admin's password changed" 1 "$(grep -c '^修改操作员 admin：密码$' <<<"$out")"
ph "sqlite:$WORK/dst.db" export --out "$WORK/b.json" >/dev/null
check "export, import into an empty database, export: the same document" "" "$(diff "$WORK/a.json" "$WORK/b.json")"
after=$(dump "$WORK/dst.db")
out=$(ph "sqlite:$WORK/dst.db" import "$WORK/a.json")
check "a second import changes nothing" "0|$after" "$?|$(dump "$WORK/dst.db")"
check "and says so" "没有需要更改的内容: sqlite:$WORK/dst.db" "$out"
check "operators sign in on the new database" "LoadLoginForm 1 CZY_DM=zhaomin;CZY_LB=GW00001" \
  "$(ph "sqlite:$WORK/dst.db" call LoadLoginForm 'pamCZY_DM=zhaomin;pamPWD=zm2024')"
filter() { ph "$1" call --dump-apps LoadLoginForm "pamCZY_DM=$2;pamPWD=$3" InitGlobalUserInfo "CZY_DM=$2" \
  FilterUserAuthrz $'authedProdcList=0100\r\n0200\r\n0300' | md5sum; }
check "the filter answers the same on the new database" "$(filter "$SRC" liuyang ly2024)" "$(filter "sqlite:$WORK/dst.db" liuyang ly2024)"

# Codes are matched as the module matches them: a file written in another
# letter case updates the stored rows, and grants are replaced.
cat >"$WORK/case.json" <<'EOF'
{ "format": "privhost-privileges", "version": 1,
  "departments": [ { "code": "bm01", "name": "行政部" } ],
  "posts": [ { "code": "gw00002", "name": "出纳", "grants": [ { "company": 1002 } ] } ],
  "operators": [ { "code": "LIUYANG", "post": "gw00002", "department": "bm01", "phone": "(010)1234-5678" } ] }
EOF
out=$(ph "sqlite:$WORK/dst.db" import "$WORK/case.json")
check "a file in another letter case exits 0" 0 $?
check "it changes the stored rows, under their stored codes" \
  $'修改部门 BM01 的名称：综合办公室 → 行政部\n岗位 GW00002 的授权：新增单位 1002（整个单位）；撤销单位 1001\n修改操作员 liuyang：联系电话、部门' "$(grep -v '^共' <<<"$out")"
check "no second department, post or operator appears" "4|6|7" \
  "$(sqlite3 "$WORK/dst.db" "SELECT (SELECT COUNT(*) FROM XT_BMXX)||'|'||(SELECT COUNT(*) FROM QX_ROLES)||'|'||(SELECT COUNT(*) FROM QX_CZY)")"
check "the post's grants are replaced, its old nodes gone" "1002|0" \
  "$(sqlite3 "$WORK/dst.db" "SELECT group_concat(t3.KZDM) FROM QX_ROLEPRMS t1, QX_PRMSMAP t3 WHERE t3.PRMS_DM=t1.PRMS_DM AND t1.JS_DM='GW00002'")|$(sqlite3 "$WORK/dst.db" "SELECT COUNT(*) FROM QX_PRMSMAP WHERE PRMS_DM NOT IN (SELECT PRMS_DM FROM QX_ROLEPRMS) AND PARENT_DM NOT IN (SELECT PRMS_DM FROM QX_PRMSMAP)")"

# --- bad documents: each refused with its reason, nothing written ------------------
before=$(dump "$WORK/dst.db")
doc() { printf '{ "format": "privhost-privileges", "version": 1, %s }' "$1" >"$WORK/bad.json"; }
while IFS='|' read -r name body reason; do
  if [ "$name" = malformed ]; then printf '{\n  "format": "privhost-privileges",\n  "version": 1,\n  "posts": [ }\n' >"$WORK/bad.json"
  elif [ "$name" = format ]; then printf '{ "format": "something-else", "version": 1 }' >"$WORK/bad.json"
  else doc "$body"; fi
  ph "sqlite:$WORK/dst.db" import "$WORK/bad.json" >/dev/null
  check "$name: refused with exit 1" 1 $?
  check "$name: the reason is given" 1 "$(grep -c -- "$reason" "$WORK/stderr")"
  check "$name: nothing is written" "$before" "$(dump "$WORK/dst.db")"
done <<'EOF'
malformed||不是有效的 JSON：第 4 行第 15 列
format||不是权限数据文件
version|"x": 0, "version": 2|文件格式版本 2 无法读取
company|"posts": [ { "code": "GW00001", "name": "税务会计", "grants": [ { "company": 9999 } ] } ]|岗位 GW00001：数据库中没有单位 9999
subapp|"posts": [ { "code": "GW00001", "name": "税务会计", "grants": [ { "company": 1001, "applications": [ { "code": "77", "functions": [] } ] } ] } ]|本机的应用程序中没有子系统 77
function|"posts": [ { "code": "GW00001", "name": "税务会计", "grants": [ { "company": 1001, "applications": [ { "code": "02", "functions": [ "02001-01-01-00-00", "99999" ] } ] } ] } ]|子系统 02 中没有功能 99999
empty applications|"posts": [ { "code": "GW00001", "name": "税务会计", "grants": [ { "company": 1001, "applications": [] } ] } ]|子系统列表为空
post|"operators": [ { "code": "newbie", "name": "新人", "password": "PGNYmu5", "post": "GW00042" } ]|岗位 GW00042 在文件和数据库中都没有
department|"operators": [ { "code": "lina", "department": "BM77" } ]|部门 BM77 在文件和数据库中都没有
no password|"operators": [ { "code": "newbie", "name": "新人", "post": "BUSINESS" } ]|文件中也没有他的密码
twice|"departments": [ { "code": "BM09", "name": "甲" }, { "code": "bm09", "name": "乙" } ]|代码“bm09”在文件中出现了两次
built-in code|"posts": [ { "code": "system", "name": "假管理员" } ]|这是内置岗位的代码
name taken|"posts": [ { "code": "GW00009", "name": "税务会计" } ]|岗位名称“税务会计”已被岗位 GW00001 使用
wrong kind|"operators": [ { "code": "lina", "name": 42 } ]|operators\[0\].name：应为文本
bad time|"operators": [ { "code": "lina", "lastSignIn": "yesterday" } ]|应写作 yyyy-mm-dd hh:nn
EOF
# One refusal does not hide the others.
doc '"posts": [ { "code": "GW00001", "name": "税务会计", "grants": [ { "company": 9998 }, { "company": 9999 } ] } ], "operators": [ { "code": "lina", "department": "BM77" } ]'
ph "sqlite:$WORK/dst.db" import "$WORK/bad.json" >/dev/null
check "every reason of a bad file is listed" 3 "$(grep -c -e 9998 -e 9999 -e BM77 "$WORK/stderr")"

# --- operators from a spreadsheet -----------------------------------------------------
# GBK, as a spreadsheet program on a Chinese desktop saves it: quoted fields
# with a comma, doubled quotes and a line break inside.
printf '代码,姓名,密码,岗位,部门,联系电话,电子邮箱,住址,有效\r\nsunli,孙丽,sl2024,出纳,BM03,(021)5555-0001,sunli@example.com,"上海市浦东新区\r\n世纪大道""100""号, 2楼",是\r\nqianhao,钱浩,qh2024,BUSINESS,,,,,N\r\n' \
  | iconv -f UTF-8 -t GBK >"$WORK/ops.csv"
out=$(ph "sqlite:$WORK/dst.db" import --operators "$WORK/ops.csv")
check "a GBK spreadsheet is imported" 0 $?
check "its operators are listed" $'新增操作员 sunli（孙丽）\n新增操作员 qianhao（钱浩）' "$(head -n 2 <<<"$out")"
check "quoted fields keep their commas, quotes and line breaks" $'上海市浦东新区\r\n世纪大道"100"号, 2楼|GW00002|N' \
  "$(sqlite3 "$WORK/dst.db" "SELECT ZZ FROM QX_CZY WHERE CZY_DM='sunli'")|$(sqlite3 "$WORK/dst.db" "SELECT JS_DM FROM QX_CZYRROLE WHERE CZY_DM='sunli'")|$(sqlite3 "$WORK/dst.db" "SELECT YXBZ FROM QX_CZY WHERE CZY_DM='qianhao'")"
check "a spreadsheet operator signs in with the password typed there" "LoadLoginForm 1 CZY_DM=sunli;CZY_LB=GW00002" \
  "$(ph "sqlite:$WORK/dst.db" call LoadLoginForm 'pamCZY_DM=sunli;pamPWD=sl2024')"
ph "sqlite:$WORK/dst.db" import --operators "$WORK/ops.csv" >"$WORK/out"
check "the same spreadsheet again changes nothing" "没有需要更改的内容: sqlite:$WORK/dst.db" "$(cat "$WORK/out")"

before=$(dump "$WORK/dst.db")
while IFS='|' read -r name csv reason count; do
  printf '%b' "$csv" >"$WORK/bad.csv"
  ph "sqlite:$WORK/dst.db" import --operators "$WORK/bad.csv" >/dev/null
  check "csv $name: refused with exit 1" 1 $?
  check "csv $name: the reasons are given" "$count" "$(grep -c -- "$reason" "$WORK/stderr")"
  check "csv $name: nothing is written" "$before" "$(dump "$WORK/dst.db")"
  if [ "$name" = "dialog rules" ]; then
    check "the dialog's own messages are used" 1 "$(grep -c '第 3 行：操作员代码不能为空。' "$WORK/stderr")"
  fi
done <<'EOF'
unclosed quote|code,name,post\nzz,"open,BUSINESS\n|第 2 行开始的引号没有结束|1
text after quote|code,name,post\nzz,"a"b,BUSINESS\n|引号结束后|1
dialog rules|code,name,post,email,phone\nok1,好,BUSINESS,a@b.cn,1\n,无代码,BUSINESS,,\nbad2,,BUSINESS,,\nbad3,坏,BUSINESS,not-an-address,\nbad4,坏,BUSINESS,,12ab\nbad5,坏,,,\n|第 [3-7] 行：|5
unknown post|code,name,password,post\nzz,某人,pw,没有这个岗位\n|岗位 没有这个岗位 在文件和数据库中都没有|1
missing column|code,name\nzz,某人\n|缺少列 post|1
neither encoding|code,name,post\nzz,\xff\xff\xff,BUSINESS\n|既不是 UTF-8 编码也不是 GBK 编码|1
EOF

# --- PostgreSQL: round trips and faults -------------------------------------------------
PSQL=$(command -v psql || ls /usr/lib/postgresql/*/bin/psql 2>/dev/null | sort -V | tail -n 1)
if [ -n "${PRIV_TEST_PG_URL:-}" ] && [ -n "${PSQL:-}" ]; then
  base_url=${PRIV_TEST_PG_URL}
  pgdb() { # fresh database NAME; prints its URL
    "$PSQL" -q "$base_url" -c "DROP DATABASE IF EXISTS $1 WITH (FORCE)" -c "CREATE DATABASE $1" >/dev/null
    sed -E "s#(://[^/?]*)/[^?]*#\1/$1#" <<<"$base_url"
  }
  q() { "$PSQL" -tA "$1" -c "$2"; }

  # Export and import on PostgreSQL.
  PG=$(pgdb "privhost_tr_$$")
  ph "$PG" init --admin-password other >/dev/null
  sqlite3 "$WORK/src.db" ".dump XT_QYXX" | grep '^INSERT' | "$PSQL" -q "$PG" >/dev/null
  ph "$PG" import "$WORK/a.json" >/dev/null
  check "PostgreSQL: import exit status" 0 $?
  ph "$PG" export --out "$WORK/pg.json" >/dev/null
  check "PostgreSQL: export, import, export gives the same document" "" "$(diff "$WORK/a.json" "$WORK/pg.json")"
  ph "$PG" import "$WORK/a.json" >"$WORK/out"
  check "PostgreSQL: a second import changes nothing" 1 "$(grep -c '没有需要更改的内容' "$WORK/out")"

  # A large post: 1,000 companies x 10 sub-applications x 30 functions.
  cp "$WORK/src.db" "$WORK/big.db"
  sqlite3 "$WORK/big.db" <<'EOF'
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<1000)
INSERT INTO XT_QYXX SELECT 3000+i, 'TAX'||i, '公司'||i, 0 FROM n;
INSERT INTO QX_ROLES VALUES('GW00003','大岗位');
INSERT INTO QX_PRMSMAP(DYDM,DYMC,PARENT_DM,PRMS_TYPE,KZDM) SELECT QYID, QYMC, 0, '10', QYID FROM XT_QYXX WHERE QYID>3000;
INSERT INTO QX_ROLEPRMS SELECT 'GW00003', PRMS_DM FROM QX_PRMSMAP WHERE PRMS_TYPE='10' AND KZDM>3000;
WITH RECURSIVE a(j) AS (SELECT 1 UNION ALL SELECT j+1 FROM a WHERE j<10)
INSERT INTO QX_PRMSMAP(DYDM,DYMC,PARENT_DM,PRMS_TYPE,KZDM) SELECT printf('S%02d',j), '', p.PRMS_DM, '20', 0 FROM QX_PRMSMAP p, a WHERE p.PRMS_TYPE='10' AND p.KZDM>3000;
WITH RECURSIVE f(k) AS (SELECT 1 UNION ALL SELECT k+1 FROM f WHERE k<30)
INSERT INTO QX_PRMSMAP(DYDM,DYMC,PARENT_DM,PRMS_TYPE,KZDM) SELECT printf('%s-%02d', p.DYDM, k), '', p.PRMS_DM, '30', 0 FROM QX_PRMSMAP p, f WHERE p.PRMS_TYPE='20' AND p.DYDM LIKE 'S__';
INSERT INTO QX_CZYQY VALUES('lina', 1001);
INSERT INTO QX_CZYZXT VALUES('lina', 1001, '0200');
UPDATE QX_CZY SET CZY_LB=NULL WHERE CZY_DM='zhoujie';
UPDATE QX_CZY SET DESCRIPTION='征收'||char(9)||'管理'||char(10)||'科'||char(13)||'一', ZZ='C:\税务\', DHHM='\N', EMAIL='' WHERE CZY_DM='wangfang';
INSERT INTO XT_BMXX(QYID, BM_DM, BM_MC) VALUES(1001, 'BM98', 'x'||char(10)||'\.'||char(10)||'y'), (1001, 'BM99', '\t不是制表符\\');
EOF
  highest=$(sqlite3 "$WORK/big.db" "SELECT MAX(PRMS_DM) FROM QX_PRMSMAP")
  CP=$(pgdb "privhost_cp_$$")
  ph "sqlite:$WORK/big.db" copy --to "$CP" >"$WORK/out"
  check "copy SQLite to PostgreSQL exit status" 0 $?
  check "and says what it copied, silently without a terminal" "  QX_PRMSMAP 311016 行|0" \
    "$(grep -o '  QX_PRMSMAP [0-9]* 行' "$WORK/out")|$(grep -c '复制 QX' "$WORK/stderr")"
  ph "$CP" copy --to "sqlite:$WORK/back.db" >/dev/null
  check "copy PostgreSQL back to SQLite exit status" 0 $?
  for t in QX_CZY QX_CZYRROLE QX_ROLES QX_PRMSMAP QX_ROLEPRMS QX_CZYQY QX_CZYZXT XT_BMXX XT_QYXX; do
    check "round trip: $t is identical" "$(rows "$WORK/big.db" $t)" "$(rows "$WORK/back.db" $t)"
  done
  # Texts with tabs, line ends, backslashes and what reads as NULL elsewhere
  # arrive byte for byte, empty text apart from NULL.
  check "copy: awkward texts arrive byte for byte" \
    "$(sqlite3 "$WORK/big.db" "SELECT lower(hex(DESCRIPTION))||'|'||lower(hex(ZZ))||'|'||DHHM||'|'||quote(EMAIL) FROM QX_CZY WHERE CZY_DM='wangfang'
      UNION ALL SELECT * FROM (SELECT BM_DM||'|'||lower(hex(BM_MC)) FROM XT_BMXX WHERE BM_DM IN ('BM98','BM99') ORDER BY BM_DM)")" \
    "$(q "$CP" "SELECT encode(convert_to(description,'UTF8'),'hex')||'|'||encode(convert_to(zz,'UTF8'),'hex')||'|'||dhhm||'|'||quote_nullable(email) FROM qx_czy WHERE czy_dm='wangfang'
      UNION ALL SELECT * FROM (SELECT bm_dm||'|'||encode(convert_to(bm_mc,'UTF8'),'hex') FROM xt_bmxx WHERE bm_dm IN ('BM98','BM99') ORDER BY bm_dm) d")"
  check "round trip: nulls stay null" "1" "$(sqlite3 "$WORK/back.db" "SELECT COUNT(*) FROM QX_CZY WHERE CZY_LB IS NULL")"
  for op in admin:x zhangwei:zw2024 lina:ln2024 wangfang:wf2024 zhaomin:zm2024 liuyang:ly2024; do
    check "copy: ${op%%:*} signs in and is filtered alike on PostgreSQL" "$(filter "sqlite:$WORK/big.db" "${op%%:*}" "${op#*:}")" \
      "$(filter "$CP" "${op%%:*}" "${op#*:}")"
  done
  # A grant saved on the copy by the module's post store.
  printf '{ "format": "privhost-privileges", "version": 1, "posts": [ { "code": "GW00002", "name": "出纳", "grants": [ { "company": 1001, "applications": [ { "code": "02", "functions": [ "02001-01-01-00-00" ] } ] }, { "company": 1004 } ] } ] }' >"$WORK/grant.json"
  ph "$CP" import "$WORK/grant.json" >/dev/null
  check "a new grant on the copy is saved" 0 $?
  check "and its node code is above every copied one" 1 \
    "$(q "$CP" "SELECT COUNT(*) FROM QX_PRMSMAP WHERE DYDM='1004' AND PRMS_DM > $highest")"
  # The copy and the import are recorded in the target's own log, and
  # nothing of the source's log comes along.
  check "PostgreSQL: the copy is the target's first log row" "1|copy|成功" \
    "$(q "$CP" "SELECT xh || '|' || sjlx || '|' || jg FROM qx_czrz ORDER BY xh LIMIT 1")"
  check "PostgreSQL: the source's own log stays behind" 0 "$(q "$CP" "SELECT COUNT(*) FROM qx_czrz WHERE sjlx='init'")"
  check "PostgreSQL: the import is the newest row" "import|成功" \
    "$(q "$CP" "SELECT sjlx || '|' || jg FROM qx_czrz ORDER BY xh DESC LIMIT 1")"
  check "PostgreSQL: the import names its file" 1 \
    "$(q "$CP" "SELECT COUNT(*) FROM qx_czrz WHERE sjlx='import' AND xq LIKE '文件：$WORK/grant.json；%'")"
  ph "$CP" audit verify >/dev/null
  check "PostgreSQL: the target's log verifies" 0 $?
  check "PostgreSQL: an import is recorded where it writes" 1 \
    "$(q "$PG" "SELECT COUNT(*) FROM qx_czrz WHERE sjlx='import' AND xq LIKE '文件：$WORK/a.json；%'")"

  # Faults on the target: nothing half-copied.
  ph "sqlite:$WORK/big.db" copy --to "$CP" >/dev/null
  check "a target that holds data is refused" 1 $?
  check "and named" 1 "$(grep -c '目标数据库已有数据.*--replace' "$WORK/stderr")"
  F=$(pgdb "privhost_fault_$$")
  ph "$F" init --admin-password x >/dev/null
  pgstate() { q "$F" "SELECT (SELECT COUNT(*) FROM qx_czy)||'|'||(SELECT COUNT(*) FROM qx_roles)||'|'||(SELECT COUNT(*) FROM qx_prmsmap)"; }
  before=$(pgstate)
  # The server ends the copy's session in the middle of the permission nodes.
  "$PSQL" -q "$F" >/dev/null <<'SQL'
CREATE FUNCTION end_session() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN IF (SELECT COUNT(*) FROM qx_prmsmap) > 100000 THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; RETURN NULL; END $$;
CREATE TRIGGER cut AFTER INSERT ON qx_prmsmap FOR EACH STATEMENT EXECUTE FUNCTION end_session();
SQL
  ph "sqlite:$WORK/big.db" copy --to "$F" --replace >/dev/null
  check "copy whose session dies exits 1" 1 $?
  check "and says the target is unchanged" 1 "$(grep -c '未作任何更改' "$WORK/stderr")"
  check "nothing of it is committed" "$before" "$(pgstate)"
  q "$F" "DROP TRIGGER cut ON qx_prmsmap" >/dev/null
  # A row the target refuses: a sign-in time that is no time.
  cp "$WORK/src.db" "$WORK/odd.db"
  sqlite3 "$WORK/odd.db" "UPDATE QX_CZY SET ZHDLSJ='gestern' WHERE CZY_DM='lina'"
  ph "sqlite:$WORK/odd.db" copy --to "$F" --replace >/dev/null
  check "a row the target refuses exits 1" 1 $?
  check "the table is named" 1 "$(grep -c '复制表 QX_CZY 失败' "$WORK/stderr")"
  check "nothing of it is committed" "$before" "$(pgstate)"
  ph "sqlite:$WORK/src.db" copy --to "$F" --replace >/dev/null
  check "--replace then copies" "0|7" "$?|$(q "$F" "SELECT COUNT(*) FROM qx_czy")"

  "$PSQL" -q "$base_url" -c "DROP DATABASE privhost_tr_$$ WITH (FORCE)" -c "DROP DATABASE privhost_cp_$$ WITH (FORCE)" \
    -c "DROP DATABASE privhost_fault_$$ WITH (FORCE)" >/dev/null
elif [ "${PRIV_REQUIRE_PG:-}" = 1 ]; then
  check "PRIV_REQUIRE_PG=1 needs PRIV_TEST_PG_URL and psql" yes no
else
  echo "skipped: the PostgreSQL part needs PRIV_TEST_PG_URL (scripts/lib/pg.sh) and psql"
fi

# --- progress on a terminal (script gives the copy one) ------------------------------------
if command -v script >/dev/null 2>&1; then
  on_tty() { script -qec "$(printf '%q ' "$PRIVHOST" --app-dir "$WORK/app" "$@")" /dev/null | tr '\r' '\n'; }
  out=$(on_tty --db "$SRC" copy --to "sqlite:$WORK/tty.db")
  check "copy on a terminal: rows copied of total, per table" yes \
    "$(grep -Eq '^复制 QX_CZY：([1-9][0-9]*)/\1 行（共 [0-9]+/[0-9]+ 行）$' <<<"$out" &&
      grep -Eq '^复制 QX_CZYZXT：([0-9]+)/\1 行（共 ([1-9][0-9]*)/\2 行）$' <<<"$out" && echo yes)"
  check "copy on a terminal: the source read and the copy checked table by table" "9 9" \
    "$(grep -c '^读取源表 .*（[1-9]/9）$' <<<"$out") $(grep -c '^核对目标表 .*（[1-9]/9）$' <<<"$out")"
  # A refusal after a progress line starts on a line of its own.
  out=$(on_tty --db "$SRC" copy --to "sqlite:$WORK/tty.db")
  check "copy on a terminal: a refusal is a line of its own" 1 "$(grep -c '^privhost: 目标数据库已有数据' <<<"$out")"
else
  echo "skipped: the progress on a terminal needs script (util-linux)"
fi

# --- a full disk under a SQLite target ---------------------------------------------------
if [ "$(id -u)" -eq 0 ] && mkdir -p "$WORK/small" && mount -t tmpfs -o size=256k tmpfs "$WORK/small" 2>/dev/null; then
  cp "$WORK/src.db" "$WORK/full.db"
  sqlite3 "$WORK/full.db" "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000)
    INSERT INTO XT_QYXX SELECT 5000+i, 'TAX'||i, printf('%.100c', 'x'), 0 FROM n;"
  ph "sqlite:$WORK/full.db" copy --to "sqlite:$WORK/small/t.db" >/dev/null
  check "a full disk fails the copy" 1 $?
  check "and says why" 1 "$(grep -c -i 'full' "$WORK/stderr")"
  check "and leaves no file behind" "no" "$([ -e "$WORK/small/t.db" ] && echo yes || echo no)"
  umount "$WORK/small"
else
  echo "skipped: the full disk needs root to mount a small tmpfs"
fi

finish
