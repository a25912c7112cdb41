#pragma once

#include "editablerows.h"
#include "referencelist.h"
#include "binder.h"
#include "datagrid.h"
#include "datawindow.h"

#include <QList>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// One field of a list: the column it shows and the caption of its box (also the field's name in
// the "不能为空" message).
struct ListField {
    const char* field;
    const char* caption;
};

class Store;

// Everything in which the five list editors differ.
struct ListEditorKind {
    enum Layout {
        ButtonsBelow,   // frame top left, buttons in two columns below it, grid on the right half
        ButtonsBeside,  // frame top left, buttons in one column beside it, grid across the bottom
    };

    const char* form;
    const char* caption;
    const char* frameCaption;
    ReferenceList list;    // the list it edits, its fields in the order of `fields`
    ListField fields[4];
    int fieldCount;
    int requiredCount;     // fields 0 .. requiredCount-1 must not be empty on save
    bool swapEditSave;     // 编辑 and 保存 share one place and are shown/hidden (else enabled/disabled)
    int passwordField;     // index of the box that shows "*" for every character, or -1
    int hiddenColumn;      // grid column kept at width 0, or -1
    int tabOrder[4];       // the boxes' tab order (indexes)
    Layout layout;
};

// frmsrlx, frmzclx, frmtzlx, frmyhxx, frmuser.
extern const ListEditorKind kListEditors[5];

// The editor of one reference list: a grid of every row, a frame of boxes bound to the current row
// and the commands 添加, 保存, 取消, 删除, 编辑, 退出.
//
// The boxes are read-only while browsing: what is typed reaches the table only through 编辑 or 添加
// and then 保存 with its checks.
class ListEditor : public DataWindow {
    Q_OBJECT
public:
    ListEditor(Store& store, const ListEditorKind& kind, QWidget* parent = nullptr);
    ~ListEditor() override;

    const ListEditorKind& kind() const { return kind_; }
    // True while browsing, false while adding or editing.
    bool browsing() const { return browsing_; }

public slots:
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void buildControls();
    void layOutButtonsBelow();
    void layOutButtonsBeside();
    void formLoad();
    void setButtons(bool browsing);
    void bindTxt();
    void formQueryUnload();

    void addEntry();
    void saveEntry();
    void cancelEdit();
    void deleteEntry();
    void editEntry();
    void quit();

    const ListEditorKind& kind_;
    Store& store_;
    EditableRows rs_;
    Binder* binder_ = nullptr;
    bool loaded_ = false;     // the recordset opened
    bool browsing_ = true;
    bool centred_ = false;

    DataGrid* listGrid = nullptr;
    QGroupBox* fieldsBox = nullptr;
    QList<QLineEdit*> fieldEdits;
    QList<QLabel*> fieldCaptions;
    QList<QLabel*> fieldColons;
    QPushButton* addButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* quitButton = nullptr;
    QPushButton* exportButton = nullptr;  // 导出…: the list as a CSV file
};
