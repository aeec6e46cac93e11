#pragma once
// A dialog built from its template by the Windows dialog manager, hosting the window logic.
// The template's bytes are made in memory (win32/dialogbytes.h) and run with
// DialogBoxIndirectParamW; controls are reached by id; clicks, drops, Enter and Escape and posted
// messages go to the logic, one call at a time. The list view is virtual: the rows live here as
// the logic's values and each cell is asked for when it is drawn, so 100,000 rows cost the
// control nothing.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "dialog/callguard.h"
#include "dialog/dialoghost.h"
#include "dialog/layout.h"
#include "dialog/rowstore.h"

namespace quillomar::win32 {

class DialogWindow final : public DialogHost, private GuardedHost {
public:
    DialogWindow(const DialogTemplate& dialog, Language language, DialogHandler& handler, HWND owner);
    ~DialogWindow() override;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Runs the dialog modally over the owner; the result given to endDialog, or -1 when the
    // dialog could not be created.
    int run();

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

    // The window of control id, for tests; nullptr before the dialog runs.
    HWND controlWindow(int id) const { return item(id); }

private:
    // A row's label edit has ended: its text goes to the logic once the editor is gone.
    static constexpr UINT kRowEditedMessage = WM_APP + 3;

    // A report-view list whose rows are held here.
    struct List {
        HWND window = nullptr;
        RowStore rows;
        std::vector<int> widths;  // each column's width as inserted
        std::vector<int> stretch;
        int baseWidth = 0;  // the control's width in the template
        bool changed = false;
    };

    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void initialize();
    void widenOneLineLabel(HWND label, const ControlTemplate& control);
    // One call into the logic, through the guard.
    void dispatch(const std::function<void()>& call) { guard_.run(call); }
    // GuardedHost
    void publishChanges() override { publishLists(); }
    void discardQueuedInput() override;
    void repost(int message) override;
    void onCommand(WPARAM wParam);
    void onDrop(HDROP drop);
    INT_PTR onNotify(const NMHDR& header);
    void onContextMenu(HWND from, LPARAM where);
    void onSize();
    // The dialog's keyboard messages, before the dialog manager sees them: an accelerator's
    // key sends its command.
    static LRESULT CALLBACK keyHook(int code, WPARAM wParam, LPARAM lParam);
    bool takeAccelerator(const MSG& message);
    void deliverPosted(int message);
    void keepPainted();
    void publishLists();
    void stretchColumns(List& list);
    // Editing a list (listediting.cpp): files dropped on it, Delete and F2, its label editor.
    static LRESULT CALLBACK listProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    void onListDrop(int id, HDROP drop);
    bool onListKey(int id, WORD key);
    INT_PTR onBeginLabelEdit(int id, const NMLVDISPINFOW& info);
    void onEndLabelEdit(int id, const NMLVDISPINFOW& info);
    void deliverRowEdit();
    // Enter and Escape while a list's label editor is open end the edit: true when one was.
    bool endLabelEdit(bool apply);
    void dragFilesOut(const std::vector<std::string>& files);
    int findRow(const List& list, const NMLVFINDITEMW& find) const;

    HWND item(int id) const { return hwnd_ == nullptr ? nullptr : GetDlgItem(hwnd_, id); }
    List* list(int id);
    const List* list(int id) const;

    const DialogTemplate& dialog_;
    Language language_;
    DialogHandler& handler_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    std::map<int, List> lists_;
    // The controls as the template placed them, in the layout's order.
    std::vector<HWND> placed_;
    AnchorLayout layout_{0, 0, 0};
    CallGuard guard_{*this};
    SIZE minimumWindow_{};
    POINT menuAt_{};
    // The label edit the logic opened (list, row, text), then the text it ended with.
    struct RowEdit {
        int list = 0;
        int row = -1;
        std::wstring text;
    };
    std::optional<RowEdit> opened_;
    std::optional<RowEdit> edited_;
    bool draggingOut_ = false;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::vector<Accelerator> accelerators_;
    HHOOK keyHook_ = nullptr;
};

}  // namespace quillomar::win32
