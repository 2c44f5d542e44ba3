-- Privilege tables of the host database, SQLite.
-- Statements end with ';' at the end of a line; no ';' inside strings.
-- Date-times are kept as text ("yyyy-mm-dd hh:nn"), the form the module writes.
-- No foreign keys and no cascades: the module keeps the relations itself, in
-- the order of its statements, and its deletes must never be refused.

CREATE TABLE QX_CZY (
    CZY_DM      TEXT NOT NULL PRIMARY KEY,
    CZY_MC      TEXT,
    PWD         TEXT,
    CZY_LB      TEXT,
    SSBM        TEXT,
    DESCRIPTION TEXT,
    DHHM        TEXT,
    EMAIL       TEXT,
    ZZ          TEXT,
    YXBZ        TEXT,
    SFXZSJ      TEXT,
    XZSJ        TEXT,
    ZHDLSJ      TEXT,
    BM_DM       TEXT
);
CREATE INDEX QX_CZY_BM_DM ON QX_CZY (BM_DM);
CREATE INDEX QX_CZY_YXBZ_CZY_DM ON QX_CZY (YXBZ, CZY_DM);
-- Codes are found whatever the case of their letters, with one form on every
-- database: UPPER(code column)=UPPER('value'). These indexes serve it; init
-- adds the ones marked IF NOT EXISTS to a database made before them.
CREATE INDEX IF NOT EXISTS QX_CZY_UPPER_CZY_DM ON QX_CZY (UPPER(CZY_DM));
CREATE INDEX IF NOT EXISTS QX_CZY_UPPER_BM_DM ON QX_CZY (UPPER(BM_DM));

-- One post per operator.
CREATE TABLE QX_CZYRROLE (
    CZY_DM TEXT NOT NULL PRIMARY KEY,
    JS_DM  TEXT
);
CREATE INDEX QX_CZYRROLE_JS_DM ON QX_CZYRROLE (JS_DM);
CREATE INDEX IF NOT EXISTS QX_CZYRROLE_UPPER_JS_DM ON QX_CZYRROLE (UPPER(JS_DM));

CREATE TABLE QX_ROLES (
    JS_DM TEXT NOT NULL PRIMARY KEY,
    JS_MC TEXT
);
CREATE INDEX QX_ROLES_JS_MC ON QX_ROLES (JS_MC);
CREATE INDEX IF NOT EXISTS QX_ROLES_UPPER_JS_DM ON QX_ROLES (UPPER(JS_DM));

-- The permission tree. AUTOINCREMENT never hands out a code again, even after
-- the greatest node was deleted: the permission store reads a new node's code
-- back as the greatest code of its DYDM.
CREATE TABLE QX_PRMSMAP (
    PRMS_DM   INTEGER PRIMARY KEY AUTOINCREMENT,
    DYDM      TEXT,
    DYMC      TEXT,
    PARENT_DM INTEGER,
    PRMS_TYPE TEXT,
    KZDM      INTEGER
);
CREATE INDEX QX_PRMSMAP_PARENT_TYPE ON QX_PRMSMAP (PARENT_DM, PRMS_TYPE);
CREATE INDEX QX_PRMSMAP_DYDM_PRMS_DM ON QX_PRMSMAP (DYDM, PRMS_DM);
-- The company nodes by company: whether a post holds a company, and the
-- company nodes of a post, are found without reading the sub-application and
-- function nodes, whatever the statistics say (a new database has none).
-- It holds the company nodes alone, so that no search for the children of a
-- node (by PARENT_DM and PRMS_TYPE) can take it for a shorter road and walk
-- every node of a type. Init adds it to a database made before it, and
-- drops the index of all node types that served before it.
DROP INDEX IF EXISTS QX_PRMSMAP_TYPE_KZDM;
CREATE INDEX IF NOT EXISTS QX_PRMSMAP_COMPANY_KZDM ON QX_PRMSMAP (KZDM, PRMS_DM) WHERE PRMS_TYPE='10';

CREATE TABLE QX_ROLEPRMS (
    JS_DM   TEXT,
    PRMS_DM INTEGER
);
CREATE INDEX QX_ROLEPRMS_JS_DM_PRMS_DM ON QX_ROLEPRMS (JS_DM, PRMS_DM);
CREATE INDEX QX_ROLEPRMS_PRMS_DM ON QX_ROLEPRMS (PRMS_DM);

CREATE TABLE QX_CZYQY (
    CZY_DM TEXT,
    QYID   INTEGER
);
CREATE INDEX QX_CZYQY_CZY_DM ON QX_CZYQY (CZY_DM);

CREATE TABLE QX_CZYZXT (
    CZY_DM TEXT,
    QYID   INTEGER,
    CPBM   TEXT
);
CREATE INDEX QX_CZYZXT_CZY_DM ON QX_CZYZXT (CZY_DM);

CREATE TABLE XT_BMXX (
    QYID  INTEGER,
    BM_DM TEXT NOT NULL PRIMARY KEY,
    BM_MC TEXT
);
CREATE INDEX XT_BMXX_BM_MC ON XT_BMXX (BM_MC);
CREATE INDEX IF NOT EXISTS XT_BMXX_UPPER_BM_DM ON XT_BMXX (UPPER(BM_DM));

CREATE TABLE XT_QYXX (
    QYID  INTEGER NOT NULL PRIMARY KEY,
    QYSBH TEXT,
    QYMC  TEXT,
    LBDM  INTEGER
);
CREATE INDEX XT_QYXX_LBDM ON XT_QYXX (LBDM);

-- The operation log (操作日志): one row for every sign-in and every change an
-- administrator makes, written in the change's own transaction. XH counts
-- 1, 2, 3, ... without gaps; HXZ is the SHA-256 of the row's content and of
-- QHXZ, the hash of the row before it, so that a row edited, removed or
-- inserted breaks the chain (privhost audit verify). Times are text:
-- CZSJ_UTC "yyyy-mm-ddThh:nn:ssZ", CZSJ the workstation's own clock
-- "yyyy-mm-dd hh:nn:ss". GZZ and XTYH name the workstation and its system
-- user, CZY_DM the operator signed in there (empty before a sign-in), SJLX
-- the event, DXLX and DXDM the kind and code of what it touched, XQ what was
-- and what became, JG the result. init adds these tables and their indexes
-- to a database made before them.
CREATE TABLE IF NOT EXISTS QX_CZRZ (
    XH       INTEGER NOT NULL PRIMARY KEY,
    CZSJ_UTC TEXT NOT NULL,
    CZSJ     TEXT NOT NULL,
    GZZ      TEXT,
    XTYH     TEXT,
    CZY_DM   TEXT,
    SJLX     TEXT NOT NULL,
    DXLX     TEXT,
    DXDM     TEXT,
    XQ       TEXT,
    JG       TEXT,
    QHXZ     TEXT NOT NULL,
    HXZ      TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS QX_CZRZ_CZSJ ON QX_CZRZ (CZSJ);
CREATE INDEX IF NOT EXISTS QX_CZRZ_SJLX_CZSJ ON QX_CZRZ (SJLX, CZSJ);
CREATE INDEX IF NOT EXISTS QX_CZRZ_UPPER_CZY_DM ON QX_CZRZ (UPPER(CZY_DM));

-- The chain's head: one row (LT_ID 1) with the number and hash of the last
-- row. Workstations that record at once take it in turn, and a row removed
-- from the end or added after it shows against it.
CREATE TABLE IF NOT EXISTS QX_CZRZLT (
    LT_ID INTEGER NOT NULL PRIMARY KEY,
    XH    INTEGER NOT NULL,
    HXZ   TEXT NOT NULL
);

-- The built-in posts; the module expects their rows.
INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('0', '超级管理员');
INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('SYSTEM', '系统管理员');
INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('BUSINESS', '业务员');
INSERT INTO QX_ROLES (JS_DM, JS_MC) VALUES ('AUDITOR', '审核员');
