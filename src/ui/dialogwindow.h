#pragma once
// A dialog built from its template, hosting the window logic. Controls are made from the
// template's kinds and styles, placed in dialog units of the dialog's font and reached by id;
// clicks, drops, the keyboard's Enter and Escape and posted messages go to the logic, one call at
// a time.

#include <QDialog>
#include <QRect>

#include <map>
#include <memory>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "dialog/callguard.h"
#include "dialog/dialoghost.h"
#include "dialog/layout.h"
#include "dialog/progressstate.h"

class QMimeData;
class QProgressBar;
class QShortcut;

namespace quillomar {

class ListView;

class DialogWindow : public QDialog, public DialogHost, private GuardedHost {
public:
    DialogWindow(const DialogTemplate& dialog, Language language, DialogHandler& handler, QWidget* owner = nullptr);
    ~DialogWindow() override;

    // Initialises the logic, then runs the dialog modally; returns the result given to endDialog.
    int run();
    // The logic's initialisation alone (once), for callers that show the window themselves.
    void initialize();

    // The widget of control id, or nullptr.
    QWidget* control(int id) const;
    const DialogTemplate& dialogTemplate() const { return dialog_; }
    Language language() const { return language_; }
    // A rectangle in dialog units as pixels of this dialog's font.
    QRect toPixels(const DialogRect& rect) const;
    // The list view control id, or nullptr.
    ListView* list(int id) const;
    // True while a call into the logic runs: input for this dialog is turned away meanwhile.
    bool busy() const { return guard_.busy(); }

    // DialogHost
    void setItemText(int id, std::string_view text) override;
    void limitText(int id, std::size_t maxCharacters) override;
    std::string itemText(int id) const override;
    using DialogHost::itemText;
    void enableItem(int id, bool enabled) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    void setProgressRange(int id, int low, int high) override;
    void setProgressStep(int id, int step) override;
    void setProgressPos(int id, int position) override;
    void postProgressPos(int id, int position) override;
    void stepProgress(int id) override;
    bool insertColumn(int id, int column, std::string_view title, int widthPixels) override;
    int insertRow(int id, int position, std::uintptr_t data) override;
    void setCellText(int id, int row, int column, std::string_view text) override;
    std::string cellText(int id, int row, int column) const override;
    int rowCount(int id) const override;
    std::uintptr_t rowData(int id, int row) const override;
    void sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) override;
    void setCellSource(int id, CellSource source) override;
    std::vector<int> selectedRows(int id) const override;
    int currentRow(int id) const override;
    void setStretchColumns(int id, std::vector<int> columns) override;
    void acceptListDrops(int id) override;
    void editRowText(int id, int row, std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    void setIcon(int iconId) override;
    void postMessage(int message) override;
    void endDialog(int result) override;
    int runDialog(int dialogId, DialogHandler& handler) override;
    std::optional<std::string> pickFolder(std::string_view title) override;
    bool openWithDesktop(const std::string& path) override;
    int popupMenu(const std::vector<MenuItem>& items) override;
    void setClipboardText(std::string_view text) override;
    void clearRows(int id) override;
    void setFocusItem(int id) override;
    int focusedItem() const override;
    void showItem(int id, bool shown) override;
    bool isItemShown(int id) const override;
    void setAccelerators(std::vector<Accelerator> keys) override;
    void setPaneContent(int id, const PaneContent& content) override;

    // The position, range and step of progress bar id as the logic set them.
    using ProgressState = quillomar::ProgressState;
    ProgressState progressState(int id) const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;
    // Rows dragged out of list id: the logic writes the files, the drag offers them.
    virtual void dragRowsOut(int id, const std::vector<int>& rows);
    // Runs the drag of prepared data (taking it over); returns the action the drop took.
    virtual Qt::DropAction runDrag(QWidget* source, QMimeData* mime);
    // The window of a dialog that this one runs.
    virtual std::unique_ptr<DialogWindow> makeChild(const DialogTemplate& dialog, DialogHandler& handler);

private:
    struct Bar {
        QProgressBar* widget = nullptr;
        ProgressState state;
        bool shown = true;  // the widget shows state
    };

    void buildControls();
    QWidget* makeControl(const ControlTemplate& control);
    static void widenOneLineLabel(QWidget* widget);
    // One call into the logic, through the guard.
    void dispatch(const std::function<void()>& call) { guard_.run(call); }
    // GuardedHost
    void publishChanges() override { publishLists(); }
    void discardQueuedInput() override;
    void repost(int message) override { postMessage(message); }
    void deliverPosted(int message);
    void deliverDrop(const std::string& path);
    void layOut();
    void showBar(Bar& bar);
    void showBars();
    void nameByLabels(const std::vector<std::pair<const ControlTemplate*, QWidget*>>& built);
    void keepPainted();
    Bar* bar(int id);
    void publishLists();
    static bool firstItemPath(const QDropEvent* event, std::string* path);
    bool acceptsDrops() const;

    const DialogTemplate& dialog_;
    Language language_;
    DialogHandler& handler_;
    int baseX_ = 0;  // font's average character width
    int baseY_ = 0;  // font's character height
    std::map<int, QWidget*> controls_;
    std::map<int, Bar> bars_;
    std::vector<ListView*> lists_;
    // The controls as the template placed them, in the layout's order.
    std::vector<QWidget*> placedControls_;
    AnchorLayout layout_{0, 0, 0};
    CallGuard guard_{*this};
    std::vector<QShortcut*> shortcuts_;
    QSize templateSize_;
    QPoint menuAt_;
    bool barsQueued_ = false;
    bool initialized_ = false;
    bool endedEarly_ = false;
    bool placed_ = false;
};

}  // namespace quillomar
