-- Schema of main.mdb, the household's one database file.
-- Codes and texts compare without letter case; money holds yuan as a number; dates are
-- YYYY-MM-DD text; months are 1 to 12. The checks keep text out of number and date columns
-- whatever tool writes the file. A date check compares with IS, not =: date() gives NULL for a text
-- that is no date at all, and a comparison with NULL would let the text pass.
--
-- The file's version. A file of an older version is brought up to this one by the upgrade steps
-- in db/upgrade.cpp; a change to the tables here is always a new step there as well.
PRAGMA user_version = 6;

-- 密码 holds the member's password as a salted hash of it without letter case (libsodium's
-- crypto_pwhash string, from version 5 on), never as typed.
--
-- Every row that is kept in step with the family's other computers carries a key, 编号, as the
-- last field: the program gives it from this computer's own range (db/syncrecorder.h), so that two
-- computers never give one key to two rows. Rows of files older than version 6 kept their rowid.
CREATE TABLE 成员 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    姓名 TEXT COLLATE NOCASE,
    关系 TEXT COLLATE NOCASE,
    密码 TEXT COLLATE NOCASE,
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 收入类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 支出类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 投资类型 (
    ID   TEXT COLLATE NOCASE UNIQUE,
    类型 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 银行 (
    ID     TEXT COLLATE NOCASE UNIQUE,
    开户行 TEXT COLLATE NOCASE,
    帐号   TEXT COLLATE NOCASE,
    编号 INTEGER PRIMARY KEY
);

-- The three ledgers and the two staging tables share one shape, column for column, so that
-- posting can copy with "insert into ... select *".
CREATE TABLE 收入帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 收入临时 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 支出帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 支出临时 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 投资帐 (
    成员ID TEXT COLLATE NOCASE,
    类型ID TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注   TEXT COLLATE NOCASE,
    月份   INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 银行帐 (
    银行ID TEXT COLLATE NOCASE,
    成员ID TEXT COLLATE NOCASE,
    存或取 TEXT COLLATE NOCASE,
    类型   TEXT COLLATE NOCASE,
    金额   CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期   DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    编号 INTEGER PRIMARY KEY
);

CREATE TABLE 负债 (
    借款日期 DATE CHECK (借款日期 IS NULL OR (typeof(借款日期) = 'text' AND date(借款日期, '+0 days') IS 借款日期)),
    债权人   TEXT COLLATE NOCASE,
    类型     TEXT COLLATE NOCASE,
    金额     CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    还款记录 TEXT COLLATE NOCASE,
    余额     CURRENCY CHECK (余额 IS NULL OR typeof(余额) IN ('integer', 'real')),
    编号 INTEGER PRIMARY KEY
);

-- Bills imported from Alipay and WeChat Pay: the trade number of every record an import posted (so
-- that no trade is posted twice; 帐 and 行号 name the record it became), and the type each
-- counterparty was given, offered again by the next import. The ledgers keep their six fields.
CREATE TABLE 导入交易 (
    来源   TEXT COLLATE NOCASE NOT NULL,
    交易号 TEXT COLLATE NOCASE NOT NULL,
    帐     TEXT COLLATE NOCASE NOT NULL CHECK (帐 IN ('收入帐', '支出帐')),
    行号   INTEGER,
    PRIMARY KEY (来源, 交易号)
);

CREATE TABLE 导入对方类型 (
    收支     TEXT COLLATE NOCASE NOT NULL CHECK (收支 IN ('收入', '支出')),
    交易对方 TEXT COLLATE NOCASE NOT NULL,
    类型ID   TEXT COLLATE NOCASE NOT NULL,
    PRIMARY KEY (收支, 交易对方)
);

-- The recycle bin: records deleted from the ledgers, each with its ledger, its rowid there and when
-- it was deleted, its fields under the ledgers' own names (checked as the ledgers check them).
-- 说明 says why a record is there when it was not deleted by hand (a correction that lost to
-- another computer's).
-- The statistics, the year summary and the queries never read it.
CREATE TABLE 回收站 (
    编号     INTEGER PRIMARY KEY,
    帐本     TEXT COLLATE NOCASE,
    行号     INTEGER,
    删除时间 TEXT,
    银行ID   TEXT COLLATE NOCASE,
    成员ID   TEXT COLLATE NOCASE,
    类型ID   TEXT COLLATE NOCASE,
    存或取   TEXT COLLATE NOCASE,
    类型     TEXT COLLATE NOCASE,
    金额     CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期     DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注     TEXT COLLATE NOCASE,
    月份     INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)),
    说明     TEXT
);

-- Budgets: an amount per expense type per month, for the whole household (成员ID '') or one member.
-- The row with 年月 '' is the default that every month takes unless it has its own ('2026-03').
CREATE TABLE 预算 (
    成员ID TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    类型ID TEXT COLLATE NOCASE NOT NULL,
    年月   TEXT NOT NULL CHECK (年月 = '' OR (length(年月) = 7 AND date(年月 || '-01', '+0 days') IS 年月 || '-01')),
    金额   CURRENCY NOT NULL CHECK (typeof(金额) IN ('integer', 'real') AND 金额 >= 0),
    PRIMARY KEY (成员ID, 类型ID, 年月)
);

-- Recurring records: what each template posts (帐 names the ledger; 类型ID is the type, or for the
-- bank ledger its 类型 text, with 银行ID and 存或取), and when: monthly on day 日 (31 is the month's
-- last day), every 间隔 weeks, or yearly on the start date's day, from 开始日期 to an optional
-- 结束日期 or for an optional number of 次数.
CREATE TABLE 定期收支 (
    编号     INTEGER PRIMARY KEY,
    帐       TEXT NOT NULL CHECK (帐 IN ('收入帐', '支出帐', '投资帐', '银行帐')),
    成员ID   TEXT COLLATE NOCASE,
    类型ID   TEXT COLLATE NOCASE,
    银行ID   TEXT COLLATE NOCASE,
    存或取   TEXT COLLATE NOCASE,
    金额     CURRENCY NOT NULL CHECK (typeof(金额) IN ('integer', 'real')),
    备注     TEXT COLLATE NOCASE,
    周期     TEXT NOT NULL CHECK (周期 IN ('每月', '每周', '每年')),
    间隔     INTEGER NOT NULL DEFAULT 1 CHECK (typeof(间隔) = 'integer' AND 间隔 BETWEEN 1 AND 520),
    日       INTEGER CHECK (日 IS NULL OR (typeof(日) = 'integer' AND 日 BETWEEN 1 AND 31)),
    开始日期 DATE NOT NULL CHECK (typeof(开始日期) = 'text' AND date(开始日期, '+0 days') IS 开始日期),
    结束日期 DATE CHECK (结束日期 IS NULL OR (typeof(结束日期) = 'text' AND date(结束日期, '+0 days') IS 结束日期)),
    次数     INTEGER CHECK (次数 IS NULL OR (typeof(次数) = 'integer' AND 次数 >= 1))
);

-- Each occurrence of a template that was posted or skipped, once: written in the same transaction
-- as the record it posted (帐 and 行号 name it), so that no occurrence is ever posted twice.
CREATE TABLE 定期记录 (
    模板   INTEGER NOT NULL,
    到期日 DATE NOT NULL CHECK (typeof(到期日) = 'text' AND date(到期日, '+0 days') IS 到期日),
    结果   TEXT NOT NULL CHECK (结果 IN ('入帐', '跳过')),
    帐     TEXT COLLATE NOCASE,
    行号   INTEGER,
    时间   TEXT,
    PRIMARY KEY (模板, 到期日)
);

-- The household's settings, by name (本月概览: whether the month's overview shows after a login).
CREATE TABLE 设置 (
    名称 TEXT COLLATE NOCASE PRIMARY KEY,
    值   TEXT
);

-- Keeping the books in step with the family's other computers through a shared folder (db/sync.h).
-- None of these tables is itself sent: each computer keeps its own.
-- The keys this computer hands out: per table (a staging table counts as its ledger) its range and
-- the next key of it, so that a key is never given twice, not even after its row was deleted.
CREATE TABLE 同步键 (
    表     TEXT PRIMARY KEY,
    节点   INTEGER NOT NULL,
    下一个 INTEGER NOT NULL
);

-- This computer's changes, one changeset per committed transaction, written in the same transaction
-- and kept until the changeset file is in the folder: 机器 and 标识 name the computer, 时刻 orders
-- the change among every computer's, 依赖 lists the other computers' changesets applied before it.
CREATE TABLE 同步发件 (
    序号 INTEGER PRIMARY KEY,
    机器 TEXT COLLATE NOCASE NOT NULL,
    标识 TEXT NOT NULL,
    时刻 INTEGER NOT NULL,
    依赖 TEXT NOT NULL,
    内容 BLOB NOT NULL
);

-- For every computer, this one too: the last of its changesets applied here (this one's: sent from
-- here), the time of the last, and the range of its keys.
CREATE TABLE 同步进度 (
    机器 TEXT COLLATE NOCASE PRIMARY KEY,
    序号 INTEGER NOT NULL,
    时刻 INTEGER NOT NULL DEFAULT 0,
    节点 INTEGER
);

-- When each field of a row was last changed and by which computer (a conflict goes to the later
-- change); for a deleted row, when it was deleted and what it held (a correction made elsewhere
-- brings it back).
CREATE TABLE 同步版本 (
    表       TEXT NOT NULL,
    键       BLOB NOT NULL,
    时刻     TEXT NOT NULL,
    来源     TEXT,
    旧值     BLOB,
    删除时刻 INTEGER,
    PRIMARY KEY (表, 键)
);

-- What was sent, applied and refused, and every conflict, as the sync window lists them.
CREATE TABLE 同步日志 (
    编号 INTEGER PRIMARY KEY,
    时间 TEXT NOT NULL,
    类别 TEXT NOT NULL,
    文件 TEXT,
    说明 TEXT
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
