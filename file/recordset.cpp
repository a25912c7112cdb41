#include "recordset.h"

#include "connection.h"
#include "dberror.h"
#include "resultreader.h"
#include "sqltext.h"
#include "statement.h"

#include <QDate>
#include <QElapsedTimer>
#include <QTimer>
#include <limits>

namespace {

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

void Recordset::start(Connection& conn, const QString& sql, const std::optional<Select>& select,
                      const QVariantList& values, Keys keys, int firstRows, const ByLookup* wanted)
{
    const std::optional<ByLookup> order = wanted ? std::optional<ByLookup>(*wanted) : std::nullopt;  // may be order_
    const std::optional<Select> given = select;  // may be select_
    close();
    // A result asked to carry keys reads its table's rowid first, beside the columns.
    const bool keyed = keys == Keys::First || (given && keyHead_);
    QString readSql = sql;
    std::optional<Select> readSelect = given;
    if (given && keyHead_) {
        readSelect = given->withKeyFirst(sqlName(keyTable_) + QStringLiteral(".rowid"));
        readSql = readSelect->text();
    }
    const int first = keyed ? 1 : 0;

    std::unique_ptr<ResultReader> reader;
    std::vector<Snapshot::ColumnInfo> cols;
    {
        auto st = std::make_unique<Statement>(conn, readSql);
        for (int i = first; i < st->columnCount(); ++i) {
            Snapshot::ColumnInfo c;
            c.name = st->columnName(i);
            const QByteArray d = st->declaredType(i).toUpper();
            c.money = d == "CURRENCY" || d == "MONEY";
            c.integer = d.contains("INT");
            c.date = d == "DATE";
            cols.push_back(std::move(c));
        }
        if (!order) {
            st->bindAll(values);
            reader = std::make_unique<ResultReader>(std::move(st), first);
        }
    }
    if (order)
        reader = std::make_unique<ResultReader>(conn, *readSelect, values, first, *order);
    snap_.setColumns(std::move(cols));
    conn_ = &conn;
    sql_ = given ? given->text() : sql;
    select_ = given;
    keyed_ = keyed;
    values_ = values;
    order_ = order;
    open_ = true;
    ++generation_;
    reader_ = std::move(reader);

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

void Recordset::open(Connection& conn, const QString& sql, const QVariantList& values)
{
    start(conn, sql, std::nullopt, values, Keys::None, std::numeric_limits<int>::max());
}

void Recordset::openInSlices(Connection& conn, const QString& sql, const QVariantList& values)
{
    start(conn, sql, std::nullopt, values, Keys::None, kFirstSlice);
}

void Recordset::open(Connection& conn, const Select& select, const QVariantList& values)
{
    start(conn, QString(), select, values, Keys::None, std::numeric_limits<int>::max());
}

void Recordset::openInSlices(Connection& conn, const Select& select, const QVariantList& values)
{
    start(conn, QString(), select, values, Keys::None, kFirstSlice);
}

void Recordset::openByLookup(Connection& conn, const Select& select, const ByLookup& order, const QVariantList& values)
{
    start(conn, QString(), select, values, Keys::None, kFirstSlice, &order);
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
    keyed_ = false;
    select_.reset();
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
        cancelPending();
    onDeleted_ = false;
    pos_ = p;
    emit currentChanged(pos_);
}

void Recordset::moveNext()
{
    if (mode_ != EditNone)
        cancelPending();
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

void Recordset::cancelPending()
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

// ---- keys ------------------------------------------------------------------------------------

void Recordset::keepRowKeys(const QString& table, const Select& head)
{
    keyTable_ = table;
    keyHead_ = head;
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
    if (!keyHead_)
        return;
    Statement st(*conn_, keyHead_->text() + QStringLiteral(" WHERE ") + sqlName(keyTable_) + QStringLiteral(".rowid = ?"));
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
    if (!keyed_ || !keyHead_ || row < 0 || row > rowCount())
        return false;
    Statement st(*conn_, keyHead_->text() + QStringLiteral(" WHERE ") + sqlName(keyTable_) + QStringLiteral(".rowid = ?"));
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
