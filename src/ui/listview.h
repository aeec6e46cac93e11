#pragma once
// The list view control in report view: a tree view of one level over a ListModel, with column
// headers that can be clicked and rows of one height, so that it keeps pace with lists of a
// hundred thousand rows. Rows can be selected with Shift and Ctrl, dragged out, and given a
// context menu from the mouse or the keyboard; a row's first cell can be edited in place, and
// files can be dropped on the view.

#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

#include "dialog/dialoghost.h"

#include "ui/listmodel.h"

namespace quillomar {

class ListView final : public QTreeView {
    Q_OBJECT

public:
    ListView(bool reportView, bool singleSelection, QWidget* parent);

    ListModel& rows() const { return *model_; }
    // Inserts a column before column (clamped) with its title and width in pixels; the widths
    // are kept over the model's resets. Returns the column's index.
    int insertColumn(int column, const QString& title, int width);
    // The columns that share what the view gains in width beyond baseWidth (its template's).
    void setStretchColumns(std::vector<int> columns);
    void setBaseWidth(int width) { baseWidth_ = width; }
    // Ends the model's batch of changes and shows it.
    void publish();
    // The selected rows, top to bottom.
    std::vector<int> selectedRowNumbers() const;

    // Opens an editor over row's first cell, holding text; onRowEdited hears when it is applied.
    void editRow(int row, const QString& text);
    // From now on files dropped on the view go to onFilesDropped, once the drop has finished,
    // whenever canTakeDrop says yes. Rows dragged from the view itself are not taken.
    void takeFileDrops();

    // Called with the screen position where the context menu belongs.
    std::function<void(const QPoint&)> onMenuRequest;
    // Called when rows are dragged out of the view.
    std::function<void(const std::vector<int>& rows)> onDragRequest;
    // Called for Delete and F2.
    std::function<void(ListKey key)> onKey;
    // Called once the editor of editRow was applied (Enter, or the focus left it) and has closed.
    std::function<void(int row, const QString& text)> onRowEdited;
    // Whether a drop is taken now; called with the dropped items' host paths.
    std::function<bool()> canTakeDrop;
    std::function<void(const std::vector<std::string>& paths)> onFilesDropped;

protected:
    // Enter on a row activates it, as a double-click does, and goes no further: the dialog's
    // default button does not also take it. Shift+F10 asks for the context menu.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;
    void commitData(QWidget* editor) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class RowEditor;

    // The local files a drop from elsewhere offers, as host paths; none for anything else.
    std::vector<std::string> droppedFiles(const QDropEvent* event) const;
    void applyWidths();
    // Where a menu asked for from the keyboard goes: below the current row, else the view's corner.
    QPoint keyboardMenuPosition() const;

    ListModel* model_;
    std::vector<int> widths_;
    std::vector<int> stretch_;
    int baseWidth_ = -1;
    RowEditor* editor_;
    int editedRow_ = -1;
    bool takesDrops_ = false;
};

}  // namespace quillomar
