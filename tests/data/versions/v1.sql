-- Schema of main.mdb, the household's one database file.
-- Codes and texts compare without letter case; money holds yuan as a number; dates are
-- YYYY-MM-DD text; months are 1 to 12. The checks keep text out of number and date columns
-- whatever tool writes the file. A date check compares with IS, not =: date() gives NULL for a text
-- that is no date at all, and a comparison with NULL would let the text pass.
--
-- The file's version. A file of an older version is brought up to this one by the upgrade steps
-- in db/upgrade.cpp; a change to the tables here is always a new step there as well.
PRAGMA user_version = 1;

CREATE TABLE 成员 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    姓名 TEXT COLLATE NOCASE,
    关系 TEXT COLLATE NOCASE,
    密码 TEXT COLLATE NOCASE
);

CREATE TABLE 收入类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE
);

CREATE TABLE 支出类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE
);

CREATE TABLE 投资类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE
);

CREATE TABLE 银行 (
    ID     TEXT COLLATE NOCASE UNIQUE,
    开户行 TEXT COLLATE NOCASE,
    帐号   TEXT COLLATE NOCASE
);

-- The three ledgers and the two staging tables share one shape, column for column, so that
-- posting can copy with "insert into ... select *".
CREATE TABLE 收入帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);

CREATE TABLE 收入临时 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);

CREATE TABLE 支出帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);

CREATE TABLE 支出临时 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);

CREATE TABLE 投资帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);

CREATE TABLE 银行帐 (
    银行ID TEXT COLLATE NOCASE,
    成员ID TEXT COLLATE NOCASE,
    存或取 TEXT COLLATE NOCASE,
    类型   TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期))
);

CREATE TABLE 负债 (
    借款日期 DATE CHECK (借款日期 IS NULL OR (typeof(借款日期) = 'text' AND date(借款日期, '+0 days') IS 借款日期)),
    债权人   TEXT COLLATE NOCASE,
    类型     TEXT COLLATE NOCASE,
    金额     CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    还款记录 TEXT COLLATE NOCASE,
    余额     CURRENCY CHECK (余额 IS NULL OR typeof(余额) IN ('integer', 'real'))
);

-- The code indexes serve the queries' joins and criteria. The date indexes also carry the month and
-- the amount, so that the year summary and the whole-ledger sums are read from the index alone.
CREATE INDEX 收入帐_成员ID ON 收入帐 (成员ID);
CREATE INDEX 收入帐_类型ID ON 收入帐 (类型ID);
CREATE INDEX 收入帐_日期   ON 收入帐 (日期, 月份, 金额);
CREATE INDEX 支出帐_成员ID ON 支出帐 (成员ID);
CREATE INDEX 支出帐_类型ID ON 支出帐 (类型ID);
CREATE INDEX 支出帐_日期   ON 支出帐 (日期, 月份, 金额);
CREATE INDEX 投资帐_成员ID ON 投资帐 (成员ID);
CREATE INDEX 投资帐_类型ID ON 投资帐 (类型ID);
CREATE INDEX 投资帐_日期   ON 投资帐 (日期, 月份, 金额);
CREATE INDEX 银行帐_银行ID ON 银行帐 (银行ID);
CREATE INDEX 银行帐_成员ID ON 银行帐 (成员ID);
CREATE INDEX 银行帐_日期   ON 银行帐 (日期);
CREATE INDEX 银行帐_存或取 ON 银行帐 (存或取, 金额);
CREATE INDEX 负债_类型     ON 负债 (类型, 余额);

-- Month-by-month totals of the current calendar year: twelve rows, months 1 to 12 in order.
-- Each ledger's records of the year are read once through its date index and grouped on 月份.
CREATE VIEW 查询 AS
WITH RECURSIVE
    月(月份) AS (SELECT 1 UNION ALL SELECT 月份 + 1 FROM 月 WHERE 月份 < 12),
    年(起, 止) AS (SELECT strftime('%Y', 'now', 'localtime') || '-01-01',
                         strftime('%Y', 'now', 'localtime') || '-12-31'),
    收(月份, z) AS (SELECT 月份, sum(金额) FROM 收入帐, 年
                    WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份),
    支(月份, z) AS (SELECT 月份, sum(金额) FROM 支出帐, 年
                    WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份),
    投(月份, z) AS (SELECT 月份, sum(金额) FROM 投资帐, 年
                    WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份)
SELECT 月.月份                AS "月份.月份",
       coalesce(收.z, 0)      AS 收入总额,
       coalesce(支.z, 0)      AS 支出总额,
       coalesce(投.z, 0)      AS 投资总额
FROM 月
LEFT JOIN 收 ON 收.月份 = 月.月份
LEFT JOIN 支 ON 支.月份 = 月.月份
LEFT JOIN 投 ON 投.月份 = 月.月份
ORDER BY 月.月份;
