#include "editablerows.h"

#include "dberror.h"
#include "sqltext.h"
#include "statement.h"
#include "store.h"

#include <QDate>
#include <limits>

namespace {

QStringList quoted(const QStringList& names)
{
    QStringList out;
    for (const QString& n : names)
        out << sqlName(n);
    return out;
}

}  // namespace

void EditableRows::open(Store& store, const EditedTable& table)
{
    const QString sql = QStringLiteral("SELECT rowid, ") + quoted(table.columns).join(u',') + QStringLiteral(" FROM ")
        + sqlName(table.table);
    start(store.connection(), sql, std::nullopt, {}, Keys::First, std::numeric_limits<int>::max());
    store_ = &store;
    table_ = table;
}

void EditableRows::requireOpen() const
{
    if (!isOpen() || !store_)
        throw DbError(DbError::NotEditable, 0, QStringLiteral("the rows are not open"), sql());
}

void EditableRows::requireCurrent() const
{
    if (!hasCurrent())
        throw DbError(DbError::NoRow, 0, QStringLiteral("no current row"), sql());
}

QVariant EditableRows::normalize(int field, const QVariant& v) const
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

void EditableRows::setValue(int field, const QVariant& v)
{
    requireOpen();
    if (field < 0 || field >= fieldCount())
        throw DbError(DbError::Other, 0, QStringLiteral("no such field"), sql());
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

void EditableRows::setValue(const QString& name, const QVariant& v)
{
    const int f = fieldIndex(name);
    if (f < 0)
        throw DbError(DbError::Other, 0, QStringLiteral("no such field: ") + name, sql());
    setValue(f, v);
}

void EditableRows::addNew()
{
    requireOpen();
    if (mode_ != EditNone)
        cancelPending();
    posBeforeAdd_ = onDeleted_ ? -1 : pos_;
    onDeleted_ = false;
    buffer_ = QVector<QVariant>(fieldCount());
    mode_ = EditAdd;
    pos_ = rowCount();
    emit rowInserted(rowCount());
    emit currentChanged(pos_);
}

void EditableRows::reloadRow(std::int64_t rowid, int row, bool append)
{
    Statement st(store_->connection(), QStringLiteral("SELECT ") + quoted(table_.columns).join(u',')
                                           + QStringLiteral(" FROM ") + sqlName(table_.table)
                                           + QStringLiteral(" WHERE rowid = ?"));
    st.bindInt64(1, rowid);
    const bool found = st.step();
    if (append) {
        snap_.appendNullRow();
        snap_.pushRowid(rowid);
    }
    if (found)
        snap_.replaceRow(row, st.handle(), 0);
}

void EditableRows::update()
{
    if (mode_ == EditNone)
        return;
    requireOpen();
    const bool added = mode_ == EditAdd;
    std::int64_t rowid = 0;
    if (added) {
        rowid = store_->insertRow(table_, buffer_);
    } else {
        requireCurrent();
        rowid = snap_.rowid(pos_);
        store_->updateRow(table_, rowid, buffer_);
    }
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

void EditableRows::cancelUpdate()
{
    cancelPending();
}

void EditableRows::deleteCurrent()
{
    requireOpen();
    if (mode_ == EditAdd) {
        cancelPending();
        return;
    }
    if (mode_ == EditInProgress)
        cancelPending();
    requireCurrent();
    store_->deleteRow(table_, snap_.rowid(pos_));
    emit rowAboutToBeRemoved(pos_);
    snap_.eraseRow(pos_);
    onDeleted_ = true;
    emit rowRemoved(pos_);
}
