#include "syncapply.h"

#include "connection.h"
#include "dberror.h"
#include "ledgerrows.h"
#include "money.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"
#include "synctables.h"
#include "syncversions.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <cmath>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace SyncApply {

namespace {

using SyncTables::Row;
using SyncTables::Shape;
using SyncTables::Value;

const QString kConflictNote = QStringLiteral("另一台电脑同时修改");
const QString kDuplicateNote = QStringLiteral("另一台电脑也已入帐");
constexpr std::int64_t kConflictKeys = std::int64_t(1) << 62;

class Changes {
public:
    explicit Changes(const QByteArray& changeset)
    {
        if (changeset.isEmpty()
            || sqlite3changeset_start(&it_, static_cast<int>(changeset.size()), const_cast<char*>(changeset.constData())) != SQLITE_OK)
            it_ = nullptr;
    }
    ~Changes()
    {
        if (it_)
            sqlite3changeset_finalize(it_);
    }
    Changes(const Changes&) = delete;
    Changes& operator=(const Changes&) = delete;
    sqlite3_changeset_iter* get() const { return it_; }

private:
    sqlite3_changeset_iter* it_ = nullptr;
};

// One change as the iterator gives it.
struct Change {
    QString table;
    int op = 0;
    int columns = 0;
    QList<bool> pk;
    QList<bool> hasOld, hasNew;
    Row old, fresh;
};

bool readChange(sqlite3_changeset_iter* it, Change& c)
{
    const char* name = nullptr;
    int indirect = 0;
    if (sqlite3changeset_op(it, &name, &c.columns, &c.op, &indirect) != SQLITE_OK || !name)
        return false;
    c.table = QString::fromUtf8(name);
    unsigned char* pk = nullptr;
    int n = 0;
    if (sqlite3changeset_pk(it, &pk, &n) != SQLITE_OK)
        return false;
    c.pk.clear();
    c.hasOld.clear();
    c.hasNew.clear();
    c.old.clear();
    c.fresh.clear();
    for (int k = 0; k < c.columns; ++k) {
        c.pk << (pk[k] != 0);
        sqlite3_value* v = nullptr;
        if (c.op != SQLITE_INSERT && sqlite3changeset_old(it, k, &v) == SQLITE_OK && v) {
            c.hasOld << true;
            c.old << Value::of(v);
        } else {
            c.hasOld << false;
            c.old << Value();
        }
        v = nullptr;
        if (c.op != SQLITE_DELETE && sqlite3changeset_new(it, k, &v) == SQLITE_OK && v) {
            c.hasNew << true;
            c.fresh << Value::of(v);
        } else {
            c.hasNew << false;
            c.fresh << Value();
        }
    }
    return true;
}

// What the windows allow in a field.
enum class Rule { Key, Whole, Money, Date, Month, Text, Note, LongText };

Rule ruleOf(const Shape& s, int field)
{
    const QString& name = s.fields[field];
    const QString type = s.types[field].toUpper();
    if (s.primaryKey[field] && type == QLatin1String("INTEGER"))
        return Rule::Key;
    if (type == QLatin1String("CURRENCY"))
        return Rule::Money;
    if (type == QLatin1String("DATE"))
        return Rule::Date;
    if (name == QStringLiteral("月份"))
        return Rule::Month;
    if (type == QLatin1String("INTEGER"))
        return Rule::Whole;
    if (name == QStringLiteral("备注"))
        return Rule::Note;
    if (name == QStringLiteral("还款记录"))
        return Rule::LongText;
    return Rule::Text;
}

int graphemes(const QString& text)
{
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (f.toNextBoundary() != -1)
        ++n;
    return n;
}

bool hasControl(const QString& t, bool lineBreaks)
{
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isHighSurrogate() && i + 1 < t.size() && t[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
        const bool lineBreak = c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
        if (lineBreak ? !lineBreaks : c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// A date as the windows write it, YYYY-MM-DD; an invalid date for anything else.
QDate dateOf(const QByteArray& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return QDate();
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int k = starts[p]; k < starts[p] + lengths[p]; ++k) {
            if (text[k] < '0' || text[k] > '9')
                return QDate();
            parts[p] = parts[p] * 10 + (text[k] - '0');
        }
    return QDate(parts[0], parts[1], parts[2]);
}

// Why the value cannot be in the field (empty when it can).
QString refusal(Rule rule, const Value& v)
{
    if (v.type == SQLITE_BLOB)
        return QStringLiteral("是二进制数据");
    if (rule == Rule::Key)
        return v.type == SQLITE_INTEGER && v.i > 0 ? QString() : QStringLiteral("不是记录的编号");
    if (v.isNull())
        return QString();
    switch (rule) {
    case Rule::Whole:
        return v.type == SQLITE_INTEGER ? QString() : QStringLiteral("不是整数");
    case Rule::Money: {
        const double x = v.type == SQLITE_INTEGER ? double(v.i) : v.r;
        if (v.type != SQLITE_INTEGER && v.type != SQLITE_FLOAT)
            return QStringLiteral("不是金额");
        if (!std::isfinite(x) || std::fabs(x) > kMaxRecordAmount.toDouble())
            return QStringLiteral("超出记录能存的金额");
        return QString();
    }
    case Rule::Date:
        return v.type == SQLITE_TEXT && dateOf(v.bytes).isValid() ? QString() : QStringLiteral("不是日期");
    case Rule::Month:
        return v.type == SQLITE_INTEGER && v.i >= 1 && v.i <= 12 ? QString() : QStringLiteral("不是月份");
    default:
        break;
    }
    if (v.type != SQLITE_TEXT)
        return v.type == SQLITE_INTEGER || v.type == SQLITE_FLOAT ? QString() : QStringLiteral("不是文字");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(v.bytes);
    if (utf8.hasError())
        return QStringLiteral("不是有效的文字");
    if (hasControl(text, rule == Rule::LongText))
        return QStringLiteral("含有控制字符");
    if (rule == Rule::Note && text.size() > 20 && graphemes(text) > 20)
        return QStringLiteral("超过 20 个字");
    if (rule == Rule::Text && text.size() > 255)
        return QStringLiteral("太长");
    if (rule == Rule::LongText && text.size() > 100000)
        return QStringLiteral("太长");
    return QString();
}

// What a whole row of a table must hold besides its fields' own rules.
QString rowRefusal(const SyncTables::Table& t, const Shape& s, const Row& row)
{
    if (t.kind == SyncTables::Kind::Ledger || t.kind == SyncTables::Kind::Bin) {
        const int date = s.indexOf(QStringLiteral("日期")), month = s.indexOf(QStringLiteral("月份"));
        if (date >= 0 && month >= 0 && !row[date].isNull() && !row[month].isNull()
            && dateOf(row[date].bytes).month() != row[month].i)
            return QStringLiteral("月份与日期不符");
    }
    if (t.kind == SyncTables::Kind::Bin) {
        const int ledger = s.indexOf(QStringLiteral("帐本"));
        if (ledger < 0 || !LedgerRows::isLedger(QString::fromUtf8(row[ledger].bytes)) || row[ledger].type != SQLITE_TEXT)
            return QStringLiteral("帐本不是可删除记录的帐");
    }
    return QString();
}

QString keyText(const Row& key)
{
    QStringList parts;
    for (const Value& v : key)
        parts << v.shown();
    return parts.join(QStringLiteral("、"));
}

QString whenText(std::int64_t stamp)
{
    const std::int64_t ms = SyncTables::millisecondsOf(stamp);
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}


// The state of applying one changeset.
}  // namespace

// The state of applying changesets within one transaction: the tables' statements, prepared once,
// and what one changeset leaves to settle once all of it is applied.
class Applier {
public:
    explicit Applier(Connection& conn) : conn_(conn), versions_(conn), sync_(conn.sync())
    {
        self_ = sync_ ? sync_->machine() : QString();
    }

    // One changeset of `origin`, made at `stamp`.
    void begin(std::int64_t stamp, const QString& origin)
    {
        stamp_ = stamp;
        origin_ = origin;
        outcome = Outcome();
        living_.clear();
        refused_.clear();
        binAdded_.clear();
        duplicates_.clear();
    }
    void change(const Change& c);
    void finish();
    const Shape& shape(const QString& table);
    Connection& connection() { return conn_; }
    Outcome outcome;

private:
    struct TableState {
        const SyncTables::Table* table = nullptr;
        Shape shape;
        QList<int> keys;
        std::unique_ptr<Statement> select, insert, remove;
        int tombstones = -1;  // whether 同步版本 holds a deleted row of the table (-1: not asked yet)
    };
    bool hasTombstones(TableState& t);
    bool tryInsert(TableState& t, const Row& row);
    void afterInsert(TableState& t, const Change& c, const Row& key, SyncVersions::Version v);
    TableState& state(const QString& table);
    Row keyOf(const TableState& t, const Row& row) const;
    void bindKey(Statement& st, const TableState& t, const Row& key, int first) const;
    std::optional<Row> current(TableState& t, const Row& key);
    void insertRow(TableState& t, const Row& row);
    void updateFields(TableState& t, const Row& key, const Row& row, const QList<int>& fields);
    void deleteRow(TableState& t, const Row& key);

    void inserted(TableState& t, const Change& c);
    void updated(TableState& t, const Change& c);
    void deleted(TableState& t, const Change& c);
    // Both computers changed the row: field by field, the later change wins.
    void merge(TableState& t, const Row& key, const Row& now, const Change& c, std::int64_t incomingStamp);
    void firstPosted(TableState& t, const Row& key, const Row& now, const Row& incoming);
    void sameReferenceId(TableState& t, const Row& incoming);
    QString freeId(TableState& t, const QString& wanted);
    // A record that lost to another: into the recycle bin, with the key every computer gives it.
    void toBin(const QString& ledger, std::int64_t key, const Shape& shape, const Row& row, std::int64_t stamp, const QString& why);
    void dropRecord(const QString& ledger, std::int64_t key, std::int64_t stamp, const QString& why);
    QByteArray versionKey(const Row& key) const { return SyncVersions::keyOf(key); }
    static bool isConflictEntry(const TableState& t, const Row& key)
    {
        return t.table->kind == SyncTables::Kind::Bin && key[0].type == SQLITE_INTEGER && key[0].i >= kConflictKeys;
    }

    Connection& conn_;
    std::int64_t stamp_ = 0;
    QString origin_, self_;
    SyncVersions::Store versions_;
    SyncRecorder* sync_;
    std::map<QString, TableState> tables_;

    using LedgerKey = QPair<QString, std::int64_t>;
    QSet<LedgerKey> living_;   // records deleted (here or there) that a correction keeps or brings back
    QSet<LedgerKey> refused_;  // records this changeset deleted after a correction it had not seen
    QHash<LedgerKey, QList<std::int64_t>> binAdded_;  // the bin's entries this changeset added, by record
    QList<LedgerKey> duplicates_;                      // records this changeset posted that were posted here first
};

Applier::TableState& Applier::state(const QString& table)
{
    auto it = tables_.find(table);
    if (it != tables_.end())
        return it->second;
    TableState& t = tables_[table];
    t.table = SyncTables::find(table);
    t.shape = SyncTables::shapeOf(conn_, table);
    t.keys = t.shape.keyFields();
    QStringList names, marks, where;
    for (int k = 0; k < t.shape.fields.size(); ++k) {
        names << sqlName(t.shape.fields[k]);
        marks << QStringLiteral("?");
    }
    for (int k = 0; k < t.keys.size(); ++k)
        where << sqlName(t.shape.fields[t.keys[k]]) + QStringLiteral(" = ?");
    const QString name = sqlName(table);
    t.select = std::make_unique<Statement>(
        conn_, QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(names.join(u','), name, where.join(QStringLiteral(" AND "))));
    t.insert = std::make_unique<Statement>(
        conn_, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(name, names.join(u','), marks.join(u',')));
    t.remove = std::make_unique<Statement>(conn_, QStringLiteral("DELETE FROM %1 WHERE %2").arg(name, where.join(QStringLiteral(" AND "))));
    return t;
}

const Shape& Applier::shape(const QString& table)
{
    return state(table).shape;
}

Row Applier::keyOf(const TableState& t, const Row& row) const
{
    Row key;
    for (const int k : t.keys)
        key << row[k];
    return key;
}

void Applier::bindKey(Statement& st, const TableState& t, const Row& key, int first) const
{
    for (int k = 0; k < t.keys.size(); ++k)
        key[k].bind(st.handle(), first + k);
}

std::optional<Row> Applier::current(TableState& t, const Row& key)
{
    Statement& st = *t.select;
    st.reset();
    bindKey(st, t, key, 1);
    std::optional<Row> out;
    if (st.step()) {
        Row row;
        for (int k = 0; k < t.shape.fields.size(); ++k)
            row << Value::column(st.handle(), k);
        out = row;
    }
    st.reset();
    return out;
}

void Applier::insertRow(TableState& t, const Row& row)
{
    Statement& st = *t.insert;
    st.reset();
    for (int k = 0; k < row.size(); ++k)
        row[k].bind(st.handle(), k + 1);
    try {
        st.step();
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    ++outcome.changes;
}

void Applier::updateFields(TableState& t, const Row& key, const Row& row, const QList<int>& fields)
{
    if (fields.isEmpty())
        return;
    QStringList sets, where;
    for (const int f : fields)
        sets << sqlName(t.shape.fields[f]) + QStringLiteral(" = ?");
    for (const int k : t.keys)
        where << sqlName(t.shape.fields[k]) + QStringLiteral(" = ?");
    Statement st(conn_, QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(sqlName(t.shape.table), sets.join(u','), where.join(QStringLiteral(" AND "))));
    int i = 1;
    for (const int f : fields)
        row[f].bind(st.handle(), i++);
    bindKey(st, t, key, i);
    st.step();
    ++outcome.changes;
}

void Applier::deleteRow(TableState& t, const Row& key)
{
    Statement& st = *t.remove;
    st.reset();
    bindKey(st, t, key, 1);
    st.step();
    st.reset();
    ++outcome.changes;
}

void Applier::change(const Change& c)
{
    TableState& t = state(c.table);
    // What check() refuses is never applied, whoever calls this without it.
    if (!t.table || c.columns != t.shape.fields.size() || c.pk != t.shape.primaryKey)
        throw DbError(DbError::BadValue, SQLITE_ERROR, QStringLiteral("a change of another shape: ") + c.table);
    if (c.op == SQLITE_INSERT)
        inserted(t, c);
    else if (c.op == SQLITE_UPDATE)
        updated(t, c);
    else
        deleted(t, c);
}

bool Applier::hasTombstones(TableState& t)
{
    if (t.tombstones < 0) {
        Statement st(conn_, QStringLiteral("SELECT 1 FROM %1 WHERE 表 = ? AND 旧值 IS NOT NULL LIMIT 1").arg(sqlName(SyncTables::kVersionsTable)));
        st.bind(1, t.shape.table);
        t.tombstones = st.step() ? 1 : 0;
    }
    return t.tombstones > 0;
}

bool Applier::tryInsert(TableState& t, const Row& row)
{
    try {
        insertRow(t, row);
        return true;
    } catch (const DbError& e) {
        if (e.code() == SQLITE_CONSTRAINT_PRIMARYKEY || e.code() == SQLITE_CONSTRAINT_UNIQUE)
            return false;  // a row there already: settled the long way
        throw;
    }
}

void Applier::afterInsert(TableState& t, const Change& c, const Row& key, SyncVersions::Version v)
{
    if (t.table->kind == SyncTables::Kind::Bin && !isConflictEntry(t, key)) {
        const int ledger = t.shape.indexOf(QStringLiteral("帐本")), row = t.shape.indexOf(QStringLiteral("行号"));
        if (c.fresh[row].type == SQLITE_INTEGER)
            binAdded_[{QString::fromUtf8(c.fresh[ledger].bytes), c.fresh[row].i}] << key[0].i;
    }
    if (v.deleted || t.table->stampInserts) {
        // A row deleted here and put back there (from the bin, under its key): written anew, and
        // its entry in this bin goes, as it went from that computer's.
        if (v.deleted && t.table->kind == SyncTables::Kind::Ledger)
            living_ << LedgerKey{t.shape.table, key[0].i};
        v.stamps = QList<std::int64_t>(c.columns, stamp_);
        v.deleted.reset();
        v.origin = origin_;
        versions_.write(t.shape.table, versionKey(key), v);
    }
}

void Applier::inserted(TableState& t, const Change& c)
{
    const Row key = keyOf(t, c.fresh);
    // The usual case, a new row of a table with no deleted rows noted: straight in.
    if (!hasTombstones(t) && tryInsert(t, c.fresh)) {
        afterInsert(t, c, key, SyncVersions::Version());
        return;
    }
    const std::optional<Row> now = current(t, key);
    // A row's key is its own: an insert meets a row only when the row is put back under its key (the
    // computer noted it as written then) or in the books a computer sent when it joined (stamp 0).
    const std::int64_t incomingStamp = stamp_;
    if (!now) {
        SyncVersions::Version v = versions_.read(t.shape.table, versionKey(key));
        if (v.deleted && (v.deletedAt > stamp_ || isConflictEntry(t, key)))
            return;  // made before this computer deleted it, or an entry for a conflict already put back
        try {
            insertRow(t, c.fresh);
        } catch (const DbError& e) {
            if (e.code() != SQLITE_CONSTRAINT_UNIQUE || t.table->kind != SyncTables::Kind::Reference)
                throw;
            sameReferenceId(t, c.fresh);
        }
        afterInsert(t, c, key, v);
        return;
    }
    // The same row: nothing to write, but a row put back is as late as its putting back, here as there.
    if (*now == c.fresh && stamp_ == 0)
        return;
    if (*now != c.fresh && (t.table->kind == SyncTables::Kind::Occurrence || t.table->kind == SyncTables::Kind::Trade)) {
        firstPosted(t, key, *now, c.fresh);
        return;
    }
    merge(t, key, *now, c, incomingStamp);
}

void Applier::updated(TableState& t, const Change& c)
{
    const Row key = keyOf(t, c.old);
    const std::optional<Row> now = current(t, key);
    if (now) {
        merge(t, key, *now, c, stamp_);
        return;
    }
    // Corrected there, deleted here: the correction wins and brings the row back, each field the
    // later of what the row held and the correction.
    SyncVersions::Version v = versions_.read(t.shape.table, versionKey(key));
    const QString what = QStringLiteral("%1（%2）").arg(t.shape.table, keyText(key));
    if (!v.deleted || v.deleted->size() != c.columns) {
        outcome.conflicts << QStringLiteral("%1：%2 修改的记录在这台电脑上已不存在，修改没有应用。").arg(what, origin_);
        return;
    }
    Row row = *v.deleted;
    v.stamps.resize(c.columns, 0);
    bool took = false;
    for (int k = 0; k < c.columns; ++k)
        if (c.hasNew[k] && !c.pk[k] && c.fresh[k] != row[k]
            && (stamp_ > v.stamps[k] || (stamp_ == v.stamps[k] && c.fresh[k].compare(row[k]) > 0))) {
            row[k] = c.fresh[k];
            v.stamps[k] = stamp_;
            took = true;
        }
    // A correction that later ones had overwritten before the deletion (the deletion saw them) has
    // nothing left to bring back: the row stays deleted.
    if (!took)
        return;
    try {
        insertRow(t, row);
    } catch (const DbError& e) {
        if (e.code() != SQLITE_CONSTRAINT_UNIQUE || t.table->kind != SyncTables::Kind::Reference)
            throw;
        sameReferenceId(t, row);
    }
    if (t.table->kind == SyncTables::Kind::Ledger)
        living_ << LedgerKey{t.shape.table, key[0].i};
    v.deleted.reset();
    v.origin = origin_;
    versions_.write(t.shape.table, versionKey(key), v);
    outcome.conflicts << QStringLiteral("%1：这台电脑删除了这条记录，%2 同时修改了它；修改优先，记录已恢复。").arg(what, origin_);
}

void Applier::deleted(TableState& t, const Change& c)
{
    const Row key = keyOf(t, c.old);
    const std::optional<Row> now = current(t, key);
    const bool ledger = t.table->kind == SyncTables::Kind::Ledger;
    SyncVersions::Version v = versions_.read(t.shape.table, versionKey(key));
    if (!now) {
        // Deleted here too. The deletion there saw another version than the one deleted here: a
        // correction it had not seen came between, and that correction was kept here until it was
        // deleted here: its entry in the bin is not wanted.
        if (ledger && v.deleted && *v.deleted != c.old)
            refused_ << LedgerKey{t.shape.table, key[0].i};
        if (!v.deleted) {
            v.stamps.resize(c.columns, 0);
            v.deleted = c.old;
            v.deletedAt = stamp_;
            v.origin = origin_;
            versions_.write(t.shape.table, versionKey(key), v);
            t.tombstones = 1;
        }
        return;
    }
    std::int64_t latest = 0;
    for (const std::int64_t s : v.stamps)
        latest = std::max(latest, s);
    if (*now != c.old || latest > stamp_) {
        // Deleted there, corrected (or put back) here: the correction wins; the row stays.
        if (ledger)
            living_ << LedgerKey{t.shape.table, key[0].i};
        if (*now != c.old)
            outcome.conflicts << QStringLiteral("%1（%2）：%3 删除了这条记录，这台电脑同时修改了它；修改优先，记录保留。")
                                     .arg(t.shape.table, keyText(key), origin_);
        return;
    }
    deleteRow(t, key);
    v.stamps.resize(c.columns, 0);
    v.deleted = c.old;
    v.deletedAt = stamp_;
    v.origin = origin_;
    versions_.write(t.shape.table, versionKey(key), v);
    t.tombstones = 1;
}

void Applier::merge(TableState& t, const Row& key, const Row& now, const Change& c, std::int64_t incomingStamp)
{
    SyncVersions::Version v = versions_.read(t.shape.table, versionKey(key));
    v.stamps.resize(c.columns, 0);
    Row merged = now;
    QList<int> taken, clashed;
    std::int64_t latest = 0;
    bool incomingTook = false;
    // Each field holds the value of its latest change (ties, which only values of no known time
    // make, go to the greater value): every computer ends with the same, whatever the order.
    for (int k = 0; k < c.columns; ++k) {
        if (c.pk[k] || !c.hasNew[k])
            continue;
        const std::int64_t local = v.stampOf(k);
        if (c.fresh[k] == now[k]) {
            v.stamps[k] = std::max(local, incomingStamp);
            continue;
        }
        const bool incomingWins = incomingStamp > local || (incomingStamp == local && c.fresh[k].compare(now[k]) > 0);
        // Both changed the field: a conflict, unless one side is a value of no known time (the books as
        // a computer had them when it joined) against a change made since.
        const bool bothChanged = c.op == SQLITE_INSERT || !c.hasOld[k] || c.old[k] != now[k];
        if (bothChanged && (incomingStamp == 0) == (local == 0)) {
            clashed << k;
            latest = std::max({latest, local, incomingStamp});
        }
        if (incomingWins) {
            merged[k] = c.fresh[k];
            v.stamps[k] = incomingStamp;
            taken << k;
            incomingTook = true;
        }
    }
    updateFields(t, key, merged, taken);
    if (incomingTook)
        v.origin = origin_;
    if (!v.found && !incomingTook && clashed.isEmpty())
        return;
    versions_.write(t.shape.table, versionKey(key), v);
    if (clashed.isEmpty())
        return;
    // The row as the losing change left it: the winner's, with the loser's values where they clashed.
    Row loser = merged;
    QStringList fields;
    for (const int k : clashed) {
        loser[k] = merged[k] == c.fresh[k] ? now[k] : c.fresh[k];
        fields << QStringLiteral("%1 %2（保留）/%3").arg(t.shape.fields[k], merged[k].shown(), loser[k].shown());
    }
    QString text = QStringLiteral("%1（%2）：这台电脑和 %3 同时修改了 %4，保留较晚的修改")
                       .arg(t.shape.table, keyText(key), origin_, fields.join(QStringLiteral("，")));
    if (t.table->kind == SyncTables::Kind::Ledger) {
        toBin(t.shape.table, key[0].i, t.shape, loser, latest, kConflictNote);
        text += QStringLiteral("；另一份已放入回收站");
    }
    outcome.conflicts << text + QStringLiteral("。");
}

void Applier::firstPosted(TableState& t, const Row& key, const Row& now, const Row& incoming)
{
    // The occurrence (or trade) that was posted first is kept; the other one's record goes.
    SyncVersions::Version v = versions_.read(t.shape.table, versionKey(key));
    // (Trades are not timed when imported: the same on every computer, the smaller row is kept.)
    const std::int64_t local = t.table->stampInserts ? v.stampOf(0) : 0, theirs = t.table->stampInserts ? stamp_ : 0;
    const bool keepIncoming = theirs < local || (theirs == local && SyncTables::compareRows(incoming, now) < 0);
    const int ledgerField = t.shape.indexOf(QStringLiteral("帐")), rowField = t.shape.indexOf(QStringLiteral("行号"));
    const Row& loser = keepIncoming ? now : incoming;
    if (keepIncoming) {
        QList<int> all;
        for (int k = 0; k < t.shape.fields.size(); ++k)
            if (!t.shape.primaryKey[k])
                all << k;
        updateFields(t, key, incoming, all);
        v.stamps = QList<std::int64_t>(t.shape.fields.size(), theirs);
        v.origin = origin_;
        versions_.write(t.shape.table, versionKey(key), v);
    }
    if (ledgerField >= 0 && rowField >= 0 && loser[rowField].type == SQLITE_INTEGER && loser[ledgerField].type == SQLITE_TEXT) {
        const LedgerKey record{QString::fromUtf8(loser[ledgerField].bytes), loser[rowField].i};
        if (keepIncoming)
            dropRecord(record.first, record.second, std::max(local, theirs), kDuplicateNote);
        else
            duplicates_ << record;
    }
    outcome.conflicts << QStringLiteral("%1（%2）：这台电脑和 %3 都已入帐，只保留先入帐的一笔，另一笔已放入回收站。")
                             .arg(t.shape.table, keyText(key), origin_);
}

QString Applier::freeId(TableState& t, const QString& wanted)
{
    QString id = wanted;
    for (int n = 2;; ++n) {
        Statement st(conn_, QStringLiteral("SELECT 1 FROM %1 WHERE ID = ?").arg(sqlName(t.shape.table)));
        st.bind(1, id);
        if (!st.step())
            return id;
        id = wanted + QStringLiteral("-%1").arg(n);
    }
}

void Applier::sameReferenceId(TableState& t, const Row& incoming)
{
    const int idField = t.shape.indexOf(QStringLiteral("ID"));
    Row local;
    {
        QStringList names;
        for (const QString& f : t.shape.fields)
            names << sqlName(f);
        Statement st(conn_, QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(names.join(u','), sqlName(t.shape.table)));
        incoming[idField].bind(st.handle(), 1);
        if (!st.step())
            throw DbError(DbError::Duplicate, SQLITE_CONSTRAINT_UNIQUE, QStringLiteral("a value of ") + t.shape.table + QStringLiteral(" taken twice"));
        for (int k = 0; k < t.shape.fields.size(); ++k)
            local << Value::column(st.handle(), k);
    }
    const Row localKey = keyOf(t, local);
    const SyncVersions::Version v = versions_.read(t.shape.table, versionKey(localKey));
    const std::int64_t localStamp = v.stampOf(idField);
    const QString localOrigin = v.found && !v.origin.isEmpty() ? v.origin : self_;
    const bool incomingLater = stamp_ > localStamp || (stamp_ == localStamp && SyncTables::compareRows(incoming, local) > 0);
    const QString id = QString::fromUtf8(incoming[idField].bytes);
    QString renamed;
    Row added = incoming;
    if (incomingLater) {
        renamed = freeId(t, id + u'-' + origin_);
        added[idField] = Value::text(renamed);
    } else {
        renamed = freeId(t, QString::fromUtf8(local[idField].bytes) + u'-' + localOrigin);
        Row moved = local;
        moved[idField] = Value::text(renamed);
        updateFields(t, localKey, moved, {idField});
    }
    insertRow(t, added);
    const int nameField = t.shape.fields.size() > 1 ? 1 : 0;
    outcome.conflicts << QStringLiteral("%1：这台电脑和 %2 都新增了 ID 为“%3”的一行（%4、%5），两行都保留，后加的那一行的 ID 改为“%6”。")
                             .arg(t.shape.table, origin_, id, local[nameField].shown(), incoming[nameField].shown(), renamed);
}

void Applier::toBin(const QString& ledger, std::int64_t key, const Shape& shape, const Row& row, std::int64_t stamp, const QString& why)
{
    const QStringList fields = LedgerRows::fields(ledger);
    Row values;
    for (const QString& f : fields) {
        const int k = shape.indexOf(f);
        values << (k >= 0 ? row[k] : Value());
    }
    const std::int64_t binKey = conflictBinKey(ledger, key, SyncTables::encode(values));
    // Every computer makes the same entry for a conflict; once one of them was put back or emptied
    // from a bin, it is not made again.
    if (versions_.read(LedgerRows::kBinTable, versionKey(Row{Value::integer(binKey)})).deleted)
        return;
    QStringList names;
    for (const QString& f : fields)
        names << sqlName(f);
    QStringList marks;
    for (int k = 0; k < fields.size() + 5; ++k)
        marks << QStringLiteral("?");
    SyncRecorder::Recorded recorded(sync_);  // the other computers make the same entry; sent all the same
    Statement st(conn_, QStringLiteral("INSERT OR IGNORE INTO %1 (编号, 帐本, 行号, 删除时间, 说明, %2) VALUES (%3)")
                            .arg(sqlName(LedgerRows::kBinTable), names.join(u','), marks.join(u',')));
    st.bindInt64(1, binKey);
    st.bind(2, ledger);
    st.bindInt64(3, key);
    st.bind(4, whenText(stamp));
    st.bind(5, why);
    for (int k = 0; k < values.size(); ++k)
        values[k].bind(st.handle(), k + 6);
    st.step();
}

void Applier::dropRecord(const QString& ledger, std::int64_t key, std::int64_t stamp, const QString& why)
{
    if (!LedgerRows::isLedger(ledger))
        return;
    TableState& t = state(ledger);
    const std::optional<Row> row = current(t, Row{Value::integer(key)});
    if (!row)
        return;
    toBin(ledger, key, t.shape, *row, stamp, why);
    deleteRow(t, Row{Value::integer(key)});
}

void Applier::finish()
{
    // A record that lives on has no deletion in the bin: every entry that one of the computers'
    // deletions put there goes, on every computer alike (entries from before the books were kept
    // in step, with the engine's numbers, are left as they are).
    Statement drop(conn_, QStringLiteral("DELETE FROM %1 WHERE 帐本 = ? AND 行号 = ? AND coalesce(说明, '') = '' AND 编号 >= ?")
                              .arg(sqlName(LedgerRows::kBinTable)));
    for (const LedgerKey& r : living_) {
        drop.reset();
        drop.bind(1, r.first);
        drop.bindInt64(2, r.second);
        drop.bindInt64(3, std::int64_t(1) << 32);
        drop.step();
    }
    Statement dropOne(conn_, QStringLiteral("DELETE FROM %1 WHERE 编号 = ?").arg(sqlName(LedgerRows::kBinTable)));
    for (const LedgerKey& r : refused_)
        for (const std::int64_t binKey : binAdded_.value(r)) {
            dropOne.reset();
            dropOne.bindInt64(1, binKey);
            dropOne.step();
        }
    for (const LedgerKey& r : duplicates_)
        dropRecord(r.first, r.second, stamp_, kDuplicateNote);
}

std::int64_t conflictBinKey(const QString& ledger, std::int64_t key, const QByteArray& values)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(ledger.toUtf8());
    h.addData(QByteArray::number(qint64(key)));
    h.addData(values);
    const QByteArray d = h.result();
    std::int64_t n = 0;
    for (int k = 0; k < 8; ++k)
        n = (n << 8) | static_cast<unsigned char>(d[k]);
    return kConflictKeys | (n & (kConflictKeys - 1));
}

Run::Run(Connection& conn) : applier_(std::make_unique<Applier>(conn)) {}

Run::~Run() = default;

QString Run::check(const QByteArray& changeset)
{
    Changes changes(changeset);
    if (!changes.get())
        return QStringLiteral("变更内容无法读取");
    Change c;
    int rc;
    while ((rc = sqlite3changeset_next(changes.get())) == SQLITE_ROW) {
        if (!readChange(changes.get(), c))
            return QStringLiteral("变更内容无法读取");
        const SyncTables::Table* t = SyncTables::find(c.table);
        if (!t)
            return QStringLiteral("含有不同步的表“%1”").arg(c.table);
        const Shape& s = applier_->shape(c.table);
        if (c.columns != s.fields.size() || c.pk != s.primaryKey)
            return QStringLiteral("表“%1”的字段与这台电脑的不同").arg(c.table);
        for (int k = 0; k < c.columns; ++k) {
            const Rule rule = ruleOf(s, k);
            if (c.op != SQLITE_INSERT && c.pk[k] && !c.hasOld[k])
                return QStringLiteral("表“%1”的一条变更没有记录的编号").arg(c.table);
            if (c.op == SQLITE_UPDATE && c.pk[k] && c.hasNew[k])
                return QStringLiteral("表“%1”的一条变更改了记录的编号").arg(c.table);
            // A row's new values are stored; a deleted row's values may be stored again later.
            const bool stored = c.op == SQLITE_INSERT ? c.hasNew[k] : (c.op == SQLITE_DELETE ? c.hasOld[k] : c.hasNew[k]);
            const Value& v = c.op == SQLITE_DELETE ? c.old[k] : c.fresh[k];
            const QString why = stored ? refusal(rule, v) : (c.pk[k] ? refusal(rule, c.old[k]) : QString());
            if (!why.isEmpty())
                return QStringLiteral("表“%1”字段“%2”的值%3").arg(c.table, s.fields[k], why);
            if (c.op != SQLITE_UPDATE && !stored)
                return QStringLiteral("表“%1”的一条变更缺少字段“%2”").arg(c.table, s.fields[k]);
        }
        if (c.op != SQLITE_UPDATE) {
            const QString why = rowRefusal(*t, s, c.op == SQLITE_INSERT ? c.fresh : c.old);
            if (!why.isEmpty())
                return QStringLiteral("表“%1”的一行%2").arg(c.table, why);
        }
    }
    if (rc != SQLITE_DONE)
        return QStringLiteral("变更内容已损坏");
    return QString();
}

Outcome Run::apply(const QByteArray& changeset, std::int64_t stamp, const QString& origin)
{
    Connection& conn = applier_->connection();
    SyncRecorder::Quiet quiet(conn.sync());
    Changes changes(changeset);
    if (!changes.get())
        throw DbError(DbError::BadValue, SQLITE_CORRUPT, QStringLiteral("a changeset that cannot be read"));
    applier_->begin(stamp, origin);
    Change c;
    int rc;
    while ((rc = sqlite3changeset_next(changes.get())) == SQLITE_ROW) {
        if (!readChange(changes.get(), c))
            throw DbError(DbError::BadValue, SQLITE_CORRUPT, QStringLiteral("a change that cannot be read"));
        applier_->change(c);
    }
    if (rc != SQLITE_DONE)
        throw DbError(DbError::BadValue, SQLITE_CORRUPT, QStringLiteral("a changeset cut short"));
    applier_->finish();
    if (SyncRecorder* sync = conn.sync())
        sync->sawStamp(stamp);
    return applier_->outcome;
}

QString check(Connection& conn, const QByteArray& changeset)
{
    return Run(conn).check(changeset);
}

Outcome apply(Connection& conn, const QByteArray& changeset, std::int64_t stamp, const QString& origin)
{
    return Run(conn).apply(changeset, stamp, origin);
}

}  // namespace SyncApply
