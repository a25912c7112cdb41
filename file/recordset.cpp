#include "recordset.h"

#include "connection.h"
#include "dberror.h"
#include "resultreader.h"
#include "sqltext.h"
#include "statement.h"
#include "syncrecorder.h"

#include <QDate>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <limits>
#include <sqlite3.h>

namespace {

// "select <list> from <table> [where ...|order by ...]" over one plain table.
const QRegularExpression& singleTableSelect()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+(?<list>.+?)\\s+from\\s+(?<table>[^\\s,()'\"]+)\\s*(?<rest>(where|order)\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

constexpr int kFirstSlice = 200;  // more rows than a screen shows
constexpr int kSliceMs = 25;      // then slices this long, the events handled between them

}  // namespace

Recordset::Recordset(QObject* parent) : QObject(parent), slices_(new QTimer(this))
{
    slices_->setSingleShot(true);
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, [this] { readSlice(); });
}

Recordset::~Recordset() = default;

void Recordset::prepare(Connection& conn, const QString& sql, const QVariantList& values, LockType lock,
                        const ByLookup* wanted)
{
    const std::optional<ByLookup> order = wanted ? std::optional<ByLookup>(*wanted) : std::nullopt;  // may be order_
    close();
    QString table;
    QString readSql = sql;
    if (lock == Pessimistic) {
        const auto m = singleTableSelect().match(sql);
        const QString list = m.hasMatch() ? m.captured(QStringLiteral("list")) : QString();
        if (m.hasMatch() && !list.contains(u'(') && !list.contains(QLatin1String("distinct"), Qt::CaseInsensitive)) {
            table = m.captured(QStringLiteral("table"));
            readSql = QStringLiteral("select rowid, ") + list + QStringLiteral(" from ") + table
                + QLatin1Char(' ') + m.captured(QStringLiteral("rest"));
        }
    }

    // A keyed result reads its table's rowid first, beside the columns.
    bool keyed = false;
    if (lock == ReadOnly && !keyTable_.isEmpty()) {
        if (const QString withKey = withColumnsFirst(sql, sqlName(keyTable_) + QStringLiteral(".rowid")); !withKey.isEmpty()) {
            readSql = withKey;
            keyed = true;
        }
    }

    std::unique_ptr<Statement> st;
    int first = 0;
    if (keyed) {
        try {
            st = std::make_unique<Statement>(conn, readSql);
            st->bindAll(values);
            first = 1;
        } catch (const DbError&) {
            keyed = false;  // a statement the key cannot be put into: read without keys
            st.reset();
        }
    }
    if (!table.isEmpty()) {
        try {
            st = std::make_unique<Statement>(conn, readSql);
            st->bindAll(values);
            first = 1;
        } catch (const DbError&) {
            table.clear();  // a view, or not a plain table: read-only
        }
    }
    if (!st) {
        st = std::make_unique<Statement>(conn, sql);
        st->bindAll(values);
    }

    const int n = st->columnCount();
    std::vector<Snapshot::ColumnInfo> cols(static_cast<std::size_t>(n - first));
    for (int i = first; i < n; ++i) {
        Snapshot::ColumnInfo& c = cols[static_cast<std::size_t>(i - first)];
        c.name = st->columnName(i);
        const QByteArray d = st->declaredType(i).toUpper();
        c.money = d == "CURRENCY" || d == "MONEY";
        c.integer = d.contains("INT");
        c.date = d == "DATE";
        if (!table.isEmpty() && !st->isTableColumn(i))
            table.clear();  // an expression: the snapshot cannot be written back
    }
    if (table.isEmpty() && first == 1 && !keyed) {
        // Read again without the rowid column, as an ordinary read-only snapshot.
        st = std::make_unique<Statement>(conn, sql);
        st->bindAll(values);
        first = 0;
    }

    std::unique_ptr<ResultReader> reader;
    if (order) {
        st.reset();
        reader = std::make_unique<ResultReader>(conn, first == 1 ? readSql : sql, values, first, *order);
    } else {
        reader = std::make_unique<ResultReader>(std::move(st), first);
    }
    snap_.setColumns(std::move(cols));
    conn_ = &conn;
    sql_ = sql;
    table_ = table;
    keyed_ = keyed;
    values_ = values;
    order_ = order;
    open_ = true;
    ++generation_;
    reader_ = std::move(reader);
}

void Recordset::open(Connection& conn, const QString& sql, LockType lock)
{
    start(conn, sql, {}, lock, std::numeric_limits<int>::max());
}

void Recordset::open(Connection& conn, const QString& sql, const QVariantList& values, LockType lock)
{
    start(conn, sql, values, lock, std::numeric_limits<int>::max());
}

void Recordset::openInSlices(Connection& conn, const QString& sql, const QVariantList& values, LockType lock)
{
    start(conn, sql, values, lock, kFirstSlice);
}

void Recordset::openByLookup(Connection& conn, const QString& select, const ByLookup& order, const QVariantList& values)
{
    start(conn, select, values, ReadOnly, kFirstSlice, &order);
}

void Recordset::start(Connection& conn, const QString& sql, const QVariantList& values, LockType lock, int firstRows,
                      const ByLookup* order)
{
    prepare(conn, sql, values, lock, order);
    try {
        if (!reader_->read(snap_, firstRows))
            reader_.reset();
    } catch (...) {
        close();
        throw;
    }
    pos_ = rowCount() > 0 ? 0 : -1;
    const unsigned gen = generation_;
    emit reset();
    emit currentChanged(pos_);
    if (gen == generation_ && reader_)
        slices_->start();
}

void Recordset::readSlice()
{
    readRows(false);
}

bool Recordset::readRows(bool all)
{
    if (!reader_)
        return true;
    const int first = rowCount();
    const unsigned gen = generation_;
    std::optional<DbError> failed;
    QElapsedTimer clock;
    clock.start();
    try {
        bool more = true;
        while (more && (all || clock.elapsed() < kSliceMs))
            more = reader_->read(snap_, 256);
        if (!more)
            reader_.reset();
    } catch (const DbError& e) {
        failed = e;
    } catch (const std::exception& e) {
        failed = DbError(DbError::Other, 0, QString::fromLocal8Bit(e.what()), sql_);
    }
    if (failed)
        reader_.reset();
    if (rowCount() > first)
        emit rowsAppended(first, rowCount() - 1);
    if (gen == generation_ && pos_ < 0 && rowCount() > 0) {
        pos_ = 0;
        emit currentChanged(pos_);
    }
    if (gen != generation_)
        return !failed;  // a handler opened or closed the recordset
    if (failed)
        emit loadFailed(*failed);
    else if (reader_)
        slices_->start();
    else
        emit loaded();
    return !failed;
}

bool Recordset::finishLoading()
{
    if (!reader_)
        return true;
    slices_->stop();
    return readRows(true);
}

void Recordset::close()
{
    const bool was = open_;
    slices_->stop();
    reader_.reset();
    ++generation_;
    snap_.clear();
    pos_ = -1;
    onDeleted_ = false;
    mode_ = EditNone;
    buffer_.clear();
    table_.clear();
    keyed_ = false;
    values_.clear();
    order_.reset();
    open_ = false;
    conn_ = nullptr;
    if (was)
        emit reset();
}

bool Recordset::bof() const
{
    if (mode_ == EditAdd)
        return false;
    return rowCount() == 0 || pos_ < 0;
}

bool Recordset::eof() const
{
    if (mode_ == EditAdd)
        return false;
    return rowCount() == 0 || pos_ >= rowCount();
}

bool Recordset::hasCurrent() const
{
    return mode_ == EditAdd || (pos_ >= 0 && pos_ < rowCount() && !onDeleted_);
}

void Recordset::setPos(int p)
{
    if (mode_ != EditNone)
        cancelUpdate();
    onDeleted_ = false;
    pos_ = p;
    emit currentChanged(pos_);
}

void Recordset::moveNext()
{
    if (mode_ != EditNone)
        cancelUpdate();
    if (onDeleted_) {
        onDeleted_ = false;
        emit currentChanged(pos_);
        return;
    }
    if (pos_ < rowCount())
        setPos(pos_ + 1);
}

void Recordset::moveLast()
{
    setPos(rowCount() > 0 ? rowCount() - 1 : -1);
}

void Recordset::moveTo(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (row == pos_ && !onDeleted_ && mode_ == EditNone)
        return;
    setPos(row);
}

QString Recordset::fieldName(int field) const
{
    if (field < 0 || field >= fieldCount())
        return QString();
    return snap_.column(field).name;
}

int Recordset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fieldCount(); ++i)
        if (snap_.column(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList Recordset::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < fieldCount(); ++i)
        names << snap_.column(i).name;
    return names;
}

bool Recordset::isMoneyField(int field) const
{
    return field >= 0 && field < fieldCount() && snap_.column(field).money;
}

static QString variantText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().toPlain();
    if (v.metaType().id() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

QVariant Recordset::valueAt(int row, int field) const
{
    if (field < 0 || field >= fieldCount())
        return QVariant();
    if (mode_ != EditNone && row == pos_)
        return buffer_.value(field);
    if (row < 0 || row >= rowCount())
        return QVariant();
    return snap_.value(row, field);
}

QString Recordset::textAt(int row, int field) const
{
    if (field < 0 || field >= fieldCount())
        return QString();
    if (mode_ != EditNone && row == pos_)
        return variantText(buffer_.value(field));
    if (row < 0 || row >= rowCount())
        return QString();
    return snap_.text(row, field);
}

bool Recordset::isNullAt(int row, int field) const
{
    if (mode_ == EditNone && row >= 0 && row < rowCount() && field >= 0 && field < fieldCount())
        return snap_.type(row, field) == Snapshot::CellType::Null;
    const QVariant v = valueAt(row, field);
    return !v.isValid() || v.isNull();
}

std::optional<MoneyTotal> Recordset::totalAt(int row, int field) const
{
    if ((mode_ == EditNone || row != pos_) && row >= 0 && row < rowCount() && field >= 0 && field < fieldCount()) {
        // The common cells read straight from the snapshot; anything else is checked below.
        const Snapshot::CellType t = snap_.type(row, field);
        if (t == Snapshot::CellType::Null)
            return std::nullopt;
        if (t == Snapshot::CellType::Money)
            return MoneyTotal(*snap_.money(row, field));
    }
    const QVariant v = valueAt(row, field);
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<Money>())
        return MoneyTotal(v.value<Money>());
    switch (v.metaType().id()) {
    case QMetaType::LongLong:
        return MoneyTotal::fromYuan(v.toLongLong());
    case QMetaType::Double:
        if (auto t = MoneyTotal::fromNumber(v.toDouble()))
            return t;
        break;
    case QMetaType::QString:
        // A total beyond a single amount's range is held as its text by the windows that show it.
        if (auto t = MoneyTotal::parse(v.toString()))
            return t;
        break;
    default:
        break;
    }
    throw DbError(DbError::BadValue, 0, QStringLiteral("not an amount: ") + textAt(row, field), sql_);
}

std::optional<Money> Recordset::moneyAt(int row, int field) const
{
    const auto t = totalAt(row, field);
    if (!t)
        return std::nullopt;
    if (auto m = t->toMoney())
        return m;
    throw DbError(DbError::BadValue, 0, QStringLiteral("amount out of range: ") + textAt(row, field), sql_);
}

MoneyTotal Recordset::sum(int field, int from) const
{
    MoneyTotal total;
    if (field < 0 || field >= fieldCount())
        return total;
    if (mode_ == EditNone)  // the amounts read a block at a time, anything else cell by cell
        return snap_.sumAmounts(field, from, [this, field](int row) { return moneyAt(row, field); });
    for (int r = std::max(from, 0); r < rowCount(); ++r)
        if (const auto m = moneyAt(r, field))
            total += *m;
    return total;
}

std::vector<int> Recordset::widestRows(int field) const
{
    if (field < 0 || field >= fieldCount())
        return {};
    std::vector<int> rows = snap_.widestRows(field);
    if (mode_ != EditNone && pos_ >= 0)
        rows.push_back(pos_);
    return rows;
}

QVariant Recordset::value(int field) const
{
    if (!hasCurrent())
        return QVariant();
    return valueAt(pos_, field);
}

QVariant Recordset::value(const QString& name) const
{
    return value(fieldIndex(name));
}

QString Recordset::text(int field) const
{
    if (!hasCurrent())
        return QString();
    return textAt(pos_, field);
}

QString Recordset::text(const QString& name) const
{
    return text(fieldIndex(name));
}

void Recordset::requireEditable() const
{
    if (!open_ || table_.isEmpty())
        throw DbError(DbError::NotEditable, 0, QStringLiteral("recordset is read-only"), sql_);
    if (reader_)
        throw DbError(DbError::NotEditable, 0, QStringLiteral("rows are still being read"), sql_);
}

void Recordset::requireCurrent() const
{
    if (!hasCurrent())
        throw DbError(DbError::NoRow, 0, QStringLiteral("no current row"), sql_);
}

QVariant Recordset::normalize(int field, const QVariant& v) const
{
    const Snapshot::ColumnInfo& c = snap_.column(field);
    if (!v.isValid() || v.isNull())
        return QVariant();
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().isValid() ? QVariant(v.toDate().toString(QStringLiteral("yyyy-MM-dd"))) : QVariant();
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString();
        if (c.money) {
            if (s.trimmed().isEmpty())
                return QVariant();
            if (auto m = Money::parse(s))
                return QVariant::fromValue(*m);
            return s;  // not a number: the engine's check refuses it on Update
        }
        if (c.integer) {
            if (s.trimmed().isEmpty())
                return QVariant();
            bool ok = false;
            const qlonglong n = s.trimmed().toLongLong(&ok);
            return ok ? QVariant(n) : QVariant(s);
        }
        return s;
    }
    if (c.money && (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Int
                    || v.metaType().id() == QMetaType::LongLong))
        return QVariant::fromValue(Money::fromDouble(v.toDouble()));
    return v;
}

void Recordset::setValue(int field, const QVariant& v)
{
    requireEditable();
    if (field < 0 || field >= fieldCount())
        throw DbError(DbError::Other, 0, QStringLiteral("no such field"), sql_);
    if (mode_ == EditNone) {
        requireCurrent();
        buffer_.resize(fieldCount());
        for (int f = 0; f < fieldCount(); ++f)
            buffer_[f] = valueAt(pos_, f);
        mode_ = EditInProgress;
    }
    buffer_[field] = normalize(field, v);
    emit rowChanged(pos_);
}

void Recordset::setValue(const QString& name, const QVariant& v)
{
    const int f = fieldIndex(name);
    if (f < 0)
        throw DbError(DbError::Other, 0, QStringLiteral("no such field: ") + name, sql_);
    setValue(f, v);
}

void Recordset::addNew()
{
    requireEditable();
    if (mode_ != EditNone)
        cancelUpdate();
    posBeforeAdd_ = onDeleted_ ? -1 : pos_;
    onDeleted_ = false;
    buffer_ = QVector<QVariant>(fieldCount());
    mode_ = EditAdd;
    pos_ = rowCount();
    emit rowInserted(rowCount());
    emit currentChanged(pos_);
}

void Recordset::reloadRow(std::int64_t rowid, int row, bool append)
{
    Statement st(*conn_, QStringLiteral("select ") + quotedFieldNames().join(u',') + QStringLiteral(" from ")
                     + sqlName(table_) + QStringLiteral(" where rowid=?"));
    st.bindInt64(1, rowid);
    const bool found = st.step();
    if (append) {
        snap_.appendNullRow();
        snap_.pushRowid(rowid);
    }
    if (found)
        snap_.replaceRow(row, st.handle(), 0);
}

QStringList Recordset::quotedFieldNames() const
{
    QStringList names;
    for (int i = 0; i < fieldCount(); ++i)
        names << sqlName(snap_.column(i).name);
    return names;
}

void Recordset::update()
{
    if (mode_ == EditNone)
        return;
    requireEditable();
    const QStringList names = quotedFieldNames();

    Transaction tx(*conn_);
    std::int64_t rowid = 0;
    if (mode_ == EditAdd) {
        QStringList marks;
        for (int i = 0; i < fieldCount(); ++i)
            marks << QStringLiteral("?");
        // A row kept in step with the family's other computers gets its key from this computer's range.
        const std::optional<std::int64_t> key = newRowKey(*conn_, table_);
        Statement st(*conn_, QStringLiteral("insert into ") + sqlName(table_) + QStringLiteral(" (")
                         + (key ? QStringLiteral("rowid,") : QString()) + names.join(u',') + QStringLiteral(") values (")
                         + (key ? QStringLiteral("?,") : QString()) + marks.join(u',') + QStringLiteral(")"));
        const int first = key ? 2 : 1;
        if (key)
            st.bindInt64(1, *key);
        for (int i = 0; i < fieldCount(); ++i)
            st.bind(i + first, buffer_[i]);
        st.step();
        rowid = sqlite3_last_insert_rowid(conn_->handle());
    } else {
        requireCurrent();
        rowid = snap_.rowid(pos_);
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral("=?");
        Statement st(*conn_, QStringLiteral("update ") + sqlName(table_) + QStringLiteral(" set ") + sets.join(u',')
                         + QStringLiteral(" where rowid=?"));
        for (int i = 0; i < fieldCount(); ++i)
            st.bind(i + 1, buffer_[i]);
        st.bindInt64(fieldCount() + 1, rowid);
        st.step();
    }
    tx.commit();

    const bool added = mode_ == EditAdd;
    mode_ = EditNone;
    buffer_.clear();
    if (added) {
        pos_ = rowCount();
        reloadRow(rowid, pos_, true);
    } else {
        reloadRow(rowid, pos_, false);
    }
    emit rowChanged(pos_);
    emit currentChanged(pos_);
}

void Recordset::cancelUpdate()
{
    if (mode_ == EditNone)
        return;
    const bool added = mode_ == EditAdd;
    if (added)
        emit rowAboutToBeRemoved(rowCount());
    mode_ = EditNone;
    buffer_.clear();
    if (added) {
        emit rowRemoved(rowCount());
        pos_ = (posBeforeAdd_ >= 0 && posBeforeAdd_ < rowCount()) ? posBeforeAdd_ : (rowCount() > 0 ? rowCount() - 1 : -1);
    } else {
        emit rowChanged(pos_);
    }
    emit currentChanged(pos_);
}

void Recordset::deleteCurrent()
{
    requireEditable();
    if (mode_ == EditAdd) {
        cancelUpdate();
        return;
    }
    if (mode_ == EditInProgress)
        cancelUpdate();
    requireCurrent();
    const std::int64_t rowid = snap_.rowid(pos_);
    {
        Transaction tx(*conn_);
        Statement st(*conn_, QStringLiteral("delete from ") + sqlName(table_) + QStringLiteral(" where rowid=?"));
        st.bindInt64(1, rowid);
        st.step();
        tx.commit();
    }
    emit rowAboutToBeRemoved(pos_);
    snap_.eraseRow(pos_);
    onDeleted_ = true;
    emit rowRemoved(pos_);
}

std::size_t Recordset::overheadBytes() const
{
    return sizeof(*this) - sizeof(snap_) + snap_.overheadBytes();
}

std::size_t Recordset::textBytes() const
{
    return snap_.textBytes();
}

// ---- keys ------------------------------------------------------------------------------------

void Recordset::keepRowKeys(const QString& table, const QString& rowSql)
{
    keyTable_ = table;
    keyRowSql_ = rowSql;
}

std::int64_t Recordset::keyAt(int row) const
{
    return keyed_ && row >= 0 && row < rowCount() ? snap_.rowid(row) : -1;
}

int Recordset::rowOfKey(std::int64_t key) const
{
    return keyed_ ? snap_.rowOfRowid(key) : -1;
}

void Recordset::refreshRow(int row)
{
    const std::int64_t key = keyAt(row);
    if (key < 0)
        return;
    Statement st(*conn_, keyRowSql_ + QStringLiteral(" WHERE ") + sqlName(keyTable_) + QStringLiteral(".rowid = ?"));
    st.bindInt64(1, key);
    if (!st.step()) {
        removeRow(row);
        return;
    }
    snap_.replaceRow(row, st.handle(), 0);
    emit rowChanged(row);
}

void Recordset::removeRow(int row)
{
    if (!keyed_ || row < 0 || row >= rowCount())
        return;
    emit rowAboutToBeRemoved(row);
    snap_.eraseRow(row);
    if (pos_ > row)
        --pos_;
    pos_ = std::min(pos_, rowCount() - 1);
    emit rowRemoved(row);
    emit currentChanged(pos_);
}

bool Recordset::insertKeyedRow(int row, std::int64_t key)
{
    if (!keyed_ || row < 0 || row > rowCount())
        return false;
    Statement st(*conn_, keyRowSql_ + QStringLiteral(" WHERE ") + sqlName(keyTable_) + QStringLiteral(".rowid = ?"));
    st.bindInt64(1, key);
    if (!st.step())
        return false;
    snap_.insertRow(row, key, st.handle(), 0);
    if (pos_ >= row)
        ++pos_;
    emit rowInserted(row);
    emit currentChanged(pos_);
    return true;
}
