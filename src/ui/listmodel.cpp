#include "ui/listmodel.h"

#include <algorithm>
#include <new>

namespace quillomar {

namespace {
// What a tree view keeps per row once laid out (its item record), rounded up.
constexpr std::size_t kViewBytesPerRow = 48;
}  // namespace

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : store_.rowCount(); }

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : store_.columnCount(); }

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return QString::fromStdString(cellText(index.row(), index.column()));
        case kValueRole:
            return QVariant::fromValue<qulonglong>(store_.rowValue(index.row()));
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return titles_[section];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The first cell can be edited in place, when the view opens an editor for it: nothing else
    // starts one.
    const Qt::ItemFlags editable = index.column() == 0 ? Qt::ItemIsEditable : Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren | editable;
}

void ListModel::changing() {
    if (resetting_) return;
    resetting_ = true;
    beginResetModel();
    // Should the change come from outside a call into the logic, the event loop ends the batch.
    QMetaObject::invokeMethod(
        this, [this] { publish(); }, Qt::QueuedConnection);
}

bool ListModel::publish() {
    if (!resetting_) return false;
    resetting_ = false;
    viewReserve_.reset();
    reservedRows_ = 0;
    endResetModel();
    return true;
}

int ListModel::insertColumn(int column, const QString& title) {
    changing();
    column = store_.insertColumn(column);
    titles_.insert(column, title);
    return column;
}

int ListModel::insertRow(int position, std::uintptr_t value) {
    changing();
    const std::size_t rows = static_cast<std::size_t>(store_.rowCount());
    try {
        if (rows + 1 > reservedRows_) {
            // A view allocates its per-row records with no way to report a failure: the memory
            // is made sure of here, half as much again as the rows need at each growth.
            const std::size_t wanted = std::max<std::size_t>(1024, (rows + 1) * 3 / 2);
            viewReserve_.reset();
            reservedRows_ = 0;
            viewReserve_.reset(new char[wanted * kViewBytesPerRow]);
            reservedRows_ = wanted;
        }
    } catch (const std::bad_alloc&) {
        // A list that cannot hold every row holds none (the store does the same when its own
        // memory runs out).
        store_.clearRows();
        throw;
    }
    return store_.insertRow(position, value);
}

void ListModel::clearRows() {
    changing();
    store_.clearRows();
}

void ListModel::setCellText(int row, int column, std::string_view text) {
    if (!store_.setCellText(row, column, text) || resetting_) return;  // the batch's reset shows it
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
}

void ListModel::setCellSource(RowStore::CellSource source) {
    changing();
    store_.setCellSource(std::move(source));
}

void ListModel::sortRows(const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) {
    // Everything the new order needs is made before the views hear of it, so that running out
    // of memory leaves the rows and the views as they were.
    RowStore::Sorted sorted = store_.sorted(compare);
    if (resetting_) {  // while a batch is open the views learn all from its reset
        store_.adopt(std::move(sorted));
        return;
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    const std::vector<int>& newRow = sorted.newRows();
    for (const QModelIndex& old : before)
        after.append(index(newRow[static_cast<std::size_t>(old.row())], old.column()));
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    store_.adopt(std::move(sorted));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace quillomar
