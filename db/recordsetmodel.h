#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

class Recordset;

// Shows a recordset in a grid: one row per record (a pending new row last), headed by the field
// names. Read-only: edits go through the window's bound controls.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Grouped: money shown as "#,##0.00". Concealed: the cells show nothing, to the eye or to a
    // screen reader (a password column kept out of sight).
    enum class Format { AsStored, Grouped, Concealed };

    explicit RecordsetModel(Recordset* rs, QObject* parent = nullptr);

    Recordset* recordset() const { return rs_; }
    void setAlignment(int column, Qt::Alignment a);
    void setFormat(int column, Format f);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    int actualRows() const;
    QPointer<Recordset> rs_;
    int rows_ = 0;
    bool removing_ = false;
    int cols_ = 0;
    QHash<int, Qt::Alignment> align_;
    QHash<int, Format> format_;
};
