#include "ui/listview.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace quillomar {

ListView::ListView(bool reportView, bool singleSelection, QWidget* parent)
    : QTreeView(parent), model_(new ListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(singleSelection ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);  // the logic sorts, on a header click
    setHeaderHidden(!reportView);
    // Rows leave the view as files; nothing is dropped on it.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A reset re-creates the header's sections: the widths the logic gave come back after it.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { applyWidths(); });
}

int ListView::insertColumn(int column, const QString& title, int width) {
    column = model_->insertColumn(column, title);
    widths_.insert(widths_.begin() + column, width);
    applyWidths();
    return column;
}

void ListView::setStretchColumns(std::vector<int> columns) {
    stretch_ = std::move(columns);
    applyWidths();
}

void ListView::applyWidths() {
    const int gained = baseWidth_ < 0 ? 0 : std::max(0, width() - baseWidth_);
    std::vector<int> stretching;
    for (int column : stretch_) {
        if (column >= 0 && column < static_cast<int>(widths_.size())) stretching.push_back(column);
    }
    for (std::size_t column = 0; column < widths_.size(); ++column) {
        if (static_cast<int>(column) >= header()->count()) break;
        int width = widths_[column];
        auto at = std::find(stretching.begin(), stretching.end(), static_cast<int>(column));
        if (at != stretching.end()) {
            const int share = gained / static_cast<int>(stretching.size());
            width += share + (at == stretching.begin() ? gained - share * static_cast<int>(stretching.size()) : 0);
        }
        setColumnWidth(static_cast<int>(column), width);
    }
}

void ListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    applyWidths();
}

void ListView::publish() { model_->publish(); }

std::vector<int> ListView::selectedRowNumbers() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QPoint ListView::keyboardMenuPosition() const {
    const QModelIndex current = currentIndex();
    QPoint at(0, 0);
    if (current.isValid()) {
        const QRect row = visualRect(current);
        if (viewport()->rect().intersects(row)) at = QPoint(row.left() + 8, row.bottom());
    }
    return viewport()->mapToGlobal(at);
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid() &&
        state() != QAbstractItemView::EditingState) {
        emit activated(currentIndex());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        if (onMenuRequest) onMenuRequest(keyboardMenuPosition());
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (!onMenuRequest) return;
    onMenuRequest(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : keyboardMenuPosition());
}

void ListView::startDrag(Qt::DropActions /*supportedActions*/) {
    if (onDragRequest) onDragRequest(selectedRowNumbers());
}

}  // namespace quillomar
