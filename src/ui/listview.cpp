#include "ui/listview.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

#include "dialog/layout.h"

namespace quillomar {

// The editor of a row's first cell: a line edit holding the text the logic gave, with the part
// before the last dot selected, as a desktop's rename selects a file's name without its type.
// What it holds goes to the logic, never into the model.
class ListView::RowEditor final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString text;
    QPointer<QLineEdit> opened;  // the editor made last

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const_cast<RowEditor*>(this)->opened = qobject_cast<QLineEdit*>(editor);
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& /*index*/) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setText(text);
    }
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    // The view selects the whole text of an editor it opens: the name is selected afterwards.
    void selectName() const {
        if (opened == nullptr) return;
        const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
        opened->setSelection(0, static_cast<int>(dot > 0 ? dot : text.size()));
    }
};

ListView::ListView(bool reportView, bool singleSelection, QWidget* parent)
    : QTreeView(parent), model_(new ListModel(this)), editor_(new RowEditor(this)) {
    setModel(model_);
    setItemDelegateForColumn(0, editor_);
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
    const int gained = baseWidth_ < 0 ? 0 : width() - baseWidth_;
    const std::vector<int> widths = stretchedWidths(widths_, stretch_, gained);
    const int shown = std::min(static_cast<int>(widths.size()), header()->count());
    for (int column = 0; column < shown; ++column) setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
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
    const bool editing = state() == QAbstractItemView::EditingState;
    // Enter and Escape that the row's editor has taken go no further: the dialog would take them
    // for its default button and for Extract all.
    if (editing &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    if (!editing && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_F2)) {
        event->accept();
        if (onKey) onKey(event->key() == Qt::Key_Delete ? ListKey::Delete : ListKey::Rename);
        return;
    }
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

void ListView::editRow(int row, const QString& text) {
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid()) return;
    editor_->text = text;
    editedRow_ = row;
    setCurrentIndex(index);
    scrollTo(index);
    setFocus();
    edit(index);
    editor_->selectName();
}

// The logic hears of the edit once the editor has closed, so that the list it rebuilds has no
// editor left open over it.
void ListView::commitData(QWidget* editor) {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr || editedRow_ < 0) return;
    const int row = editedRow_;
    editedRow_ = -1;
    const QString text = line->text();
    QMetaObject::invokeMethod(
        this,
        [this, row, text] {
            if (onRowEdited) onRowEdited(row, text);
        },
        Qt::QueuedConnection);
}

void ListView::takeFileDrops() {
    takesDrops_ = true;
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

std::vector<std::string> ListView::droppedFiles(const QDropEvent* event) const {
    std::vector<std::string> paths;
    const QMimeData* mime = event->mimeData();
    if (!takesDrops_ || event->source() == this || mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        // The path's bytes as the URL encodes them: a name that is no valid UTF-8 stays
        // percent-encoded in the URL and would be lost on its way through a QString.
        paths.push_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
    }
    return paths;
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event).empty() && (!canTakeDrop || canTakeDrop())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFiles(event).empty() && (!canTakeDrop || canTakeDrop())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

// The drop is handled once the drag has finished, so the program the files came from is not kept
// waiting while they are written into the archive.
void ListView::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = droppedFiles(event);
    if (paths.empty() || (canTakeDrop && !canTakeDrop())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this,
        [this, paths = std::move(paths)] {
            if (onFilesDropped && (!canTakeDrop || canTakeDrop())) onFilesDropped(paths);
        },
        Qt::QueuedConnection);
}

void ListView::startDrag(Qt::DropActions /*supportedActions*/) {
    if (onDragRequest) onDragRequest(selectedRowNumbers());
}

}  // namespace quillomar
