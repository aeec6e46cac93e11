#include "ui/listview.h"

#include <QHeaderView>
#include <QKeyEvent>

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

void ListView::applyWidths() {
    for (std::size_t column = 0; column < widths_.size(); ++column) {
        if (static_cast<int>(column) < header()->count()) {
            setColumnWidth(static_cast<int>(column), widths_[column]);
        }
    }
}

void ListView::publish() { model_->publish(); }

void ListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid() &&
        state() != QAbstractItemView::EditingState) {
        emit activated(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace quillomar
