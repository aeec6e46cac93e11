#include "ui/listmodel.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace quillomar {

namespace {
// What a tree view keeps per row once laid out (its item record), rounded up.
constexpr std::size_t kViewBytesPerRow = 48;
}  // namespace

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(values_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columns_) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText(index.row(), index.column());
        case kValueRole:
            return QVariant::fromValue<qulonglong>(values_[static_cast<std::size_t>(index.row())]);
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
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
    column = std::clamp(column, 0, columns_);
    changing();
    titles_.insert(column, title);
    if (source_) {
        ++columns_;
        return column;
    }
    const int rows = static_cast<int>(values_.size());
    std::vector<QString> widened(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns_ + 1));
    for (int row = 0; row < rows; ++row) {
        for (int c = 0; c < columns_; ++c) {
            const std::size_t to = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_ + 1) +
                                   static_cast<std::size_t>(c < column ? c : c + 1);
            widened[to] = std::move(cells_[cell(row, c)]);
        }
    }
    cells_ = std::move(widened);
    ++columns_;
    return column;
}

int ListModel::insertRow(int position, std::uintptr_t value) {
    position = std::clamp(position, 0, static_cast<int>(values_.size()));
    changing();
    try {
        if (values_.size() + 1 > reservedRows_) {
            // A view allocates its per-row records with no way to report a failure: the memory
            // is made sure of here, half as much again as the rows need at each growth.
            const std::size_t rows = std::max<std::size_t>(1024, (values_.size() + 1) * 3 / 2);
            viewReserve_.reset();
            reservedRows_ = 0;
            viewReserve_.reset(new char[rows * kViewBytesPerRow]);
            reservedRows_ = rows;
        }
        values_.insert(values_.begin() + position, value);
        if (source_) return position;
        cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(cell(position, 0)),
                      static_cast<std::size_t>(columns_), QString());
    } catch (const std::bad_alloc&) {
        // A list that cannot hold every row holds none: the memory goes back, and no view is
        // left to lay out rows it has no room for.
        values_.clear();
        values_.shrink_to_fit();
        cells_.clear();
        cells_.shrink_to_fit();
        throw;
    }
    return position;
}

void ListModel::clearRows() {
    changing();
    values_.clear();
    cells_.clear();
}

void ListModel::setCellText(int row, int column, const QString& text) {
    if (source_ || row < 0 || row >= rowCount() || column < 0 || column >= columns_) return;
    cells_[cell(row, column)] = text;
    if (resetting_) return;  // the batch's reset shows it
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
}

QString ListModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_) return {};
    if (source_) return source_(values_[static_cast<std::size_t>(row)], column);
    return cells_[cell(row, column)];
}

void ListModel::setCellSource(CellSource source) {
    changing();
    source_ = std::move(source);
    cells_.clear();
    cells_.shrink_to_fit();
}

std::uintptr_t ListModel::rowValue(int row) const {
    if (row < 0 || row >= rowCount()) return 0;
    return values_[static_cast<std::size_t>(row)];
}

void ListModel::sortRows(const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) {
    const std::size_t rows = values_.size();
    std::vector<int> order(rows);  // order[newRow] = oldRow
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare(values_[static_cast<std::size_t>(a)], values_[static_cast<std::size_t>(b)]) < 0;
    });

    // Everything the new order needs is allocated before the views hear of it, so that running
    // out of memory leaves the rows and the views as they were.
    std::vector<std::uintptr_t> values(rows);
    std::vector<QString> cells(cells_.size());
    const bool tellViews = !resetting_;  // while a batch is open the views learn all from its reset
    std::vector<int> newRow(tellViews ? rows : 0);
    const QModelIndexList before = tellViews ? persistentIndexList() : QModelIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    if (tellViews) emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    for (std::size_t to = 0; to < rows; ++to) {
        const int from = order[to];
        values[to] = values_[static_cast<std::size_t>(from)];
        if (source_) continue;
        for (int c = 0; c < columns_; ++c) cells[cell(static_cast<int>(to), c)] = std::move(cells_[cell(from, c)]);
    }
    values_ = std::move(values);
    cells_ = std::move(cells);

    if (!tellViews) return;
    for (std::size_t to = 0; to < rows; ++to) newRow[static_cast<std::size_t>(order[to])] = static_cast<int>(to);
    for (const QModelIndex& old : before) {
        after.append(index(newRow[static_cast<std::size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace quillomar
