#pragma once
// The list view control in report view: a tree view of one level over a ListModel, with column
// headers that can be clicked and rows of one height, so that it keeps pace with lists of a
// hundred thousand rows. Rows can be selected with Shift and Ctrl, dragged out, and given a
// context menu from the mouse or the keyboard.

#include <QTreeView>

#include <functional>
#include <vector>

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

    // Called with the screen position where the context menu belongs.
    std::function<void(const QPoint&)> onMenuRequest;
    // Called when rows are dragged out of the view.
    std::function<void(const std::vector<int>& rows)> onDragRequest;

protected:
    // Enter on a row activates it, as a double-click does, and goes no further: the dialog's
    // default button does not also take it. Shift+F10 asks for the context menu.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyWidths();
    // Where a menu asked for from the keyboard goes: below the current row, else the view's corner.
    QPoint keyboardMenuPosition() const;

    ListModel* model_;
    std::vector<int> widths_;
    std::vector<int> stretch_;
    int baseWidth_ = -1;
};

}  // namespace quillomar
