#pragma once
// The list view control in report view: a tree view of one level over a ListModel, with column
// headers that can be clicked and rows of one height, so that it keeps pace with lists of a
// hundred thousand rows.

#include <QTreeView>

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
    // Ends the model's batch of changes and shows it.
    void publish();

protected:
    // Enter on a row activates it, as a double-click does, and goes no further: the dialog's
    // default button does not also take it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyWidths();

    ListModel* model_;
    std::vector<int> widths_;
};

}  // namespace quillomar
