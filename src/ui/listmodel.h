#pragma once
// The rows of a list view in report view, held in the dialog core's row store and shown to Qt's
// views. The host fills it through the list calls of DialogHost; views learn of a batch of
// insertions in one reset, and a sort moves the rows in place.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/rowstore.h"

namespace quillomar {

class ListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // The role under which a row's value is shown to views, as a qulonglong in every column.
    static constexpr int kValueRole = Qt::UserRole;

    explicit ListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Inserts a column before column (clamped); its cells are empty. Returns its index.
    int insertColumn(int column, const QString& title);
    // Inserts an empty row before position (clamped). Returns its index. Throws std::bad_alloc
    // when memory runs out, also for what the views will need to lay the rows out.
    int insertRow(int position, std::uintptr_t value);
    // Removes every row; the columns stay, and the rows' memory is kept for the next ones.
    void clearRows();
    // Ignored for a row or column that does not exist.
    void setCellText(int row, int column, std::string_view text);
    std::string cellText(int row, int column) const { return store_.cellText(row, column); }
    std::uintptr_t rowValue(int row) const { return store_.rowValue(row); }

    // From now on the cells are asked of source with their row's value and column each time they
    // are shown, and setCellText stores nothing: the rows hold their values only.
    void setCellSource(RowStore::CellSource source);

    // Orders the rows by compare over their values (negative: first before second); rows that
    // compare equal keep their order. Selections and other persistent indexes follow their rows.
    void sortRows(const std::function<int(std::uintptr_t, std::uintptr_t)>& compare);

    // Changes made since the last publish reach the views in one reset. Returns true when there
    // were any. The host calls it when the logic's call has returned and before the event loop
    // can run; one is also queued with the first change.
    bool publish();
    // True while changes wait for publish.
    bool pending() const { return resetting_; }

private:
    // Views are told once per batch: the first change opens a reset, publish ends it.
    void changing();

    QStringList titles_;
    RowStore store_;
    bool resetting_ = false;
    // Memory held for the views' layout of the rows (a tree view keeps a record per row), taken
    // while the rows are inserted, where running out can still be reported, and released for
    // the views at publish.
    std::unique_ptr<char[]> viewReserve_;
    std::size_t reservedRows_ = 0;
};

}  // namespace quillomar
