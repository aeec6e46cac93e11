// The list view's edits: files dropped on a list, its Delete and F2 keys, the label editor that
// the logic opens over a row's first cell, the question box, and emptying a list.

#include "win32/dialogwindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/stringtable.h"
#include "platform/messages.h"
#include "win32/widetext.h"

namespace quillomar::win32 {

namespace {

constexpr UINT_PTR kListSubclassId = 1;

}  // namespace

// Files dropped on the list reach the list window itself, which passes them here.
void DialogWindow::acceptListDrops(int id) {
    List* entry = list(id);
    if (entry == nullptr) return;
    SetWindowSubclass(entry->window, &DialogWindow::listProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
    DragAcceptFiles(entry->window, TRUE);
}

LRESULT CALLBACK DialogWindow::listProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                        DWORD_PTR self) {
    if (message == WM_DROPFILES) {
        auto* dialog = reinterpret_cast<DialogWindow*>(self);
        dialog->onListDrop(GetDlgCtrlID(window), reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &DialogWindow::listProc, kListSubclassId);
    return DefSubclassProc(window, message, wParam, lParam);
}

void DialogWindow::onListDrop(int id, HDROP drop) {
    // Dropped while work runs, or rows of this list dragged onto it: not taken.
    if (guard_.busy() || draggingOut_) {
        DragFinish(drop);
        return;
    }
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        paths.push_back(toUtf8(path));
    }
    DragFinish(drop);
    if (!paths.empty()) dispatch([&] { handler_.onListDrop(id, paths); });
}

// Delete and F2, without Ctrl, Shift or Alt, are the logic's.
bool DialogWindow::onListKey(int id, WORD key) {
    if (key != VK_DELETE && key != VK_F2) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_MENU) < 0) return false;
    dispatch([&] { handler_.onListKey(id, key == VK_DELETE ? ListKey::Delete : ListKey::Rename); });
    return true;
}

void DialogWindow::editRowText(int id, int row, std::string_view text) {
    List* entry = list(id);
    if (entry == nullptr || row < 0 || row >= entry->rows.rowCount()) return;
    publishLists();
    const LONG_PTR style = GetWindowLongPtrW(entry->window, GWL_STYLE);
    if ((style & LVS_EDITLABELS) == 0) SetWindowLongPtrW(entry->window, GWL_STYLE, style | LVS_EDITLABELS);
    opened_ = RowEdit{id, row, toWide(text)};
    SetFocus(entry->window);
    ListView_EnsureVisible(entry->window, row, FALSE);
    HWND editor = ListView_EditLabel(entry->window, row);
    if (editor == nullptr) {
        opened_.reset();
        return;
    }
    // The list selects the whole text once the editor is open: the name alone is selected after.
    const std::wstring& typed = opened_->text;
    const std::size_t dot = typed.rfind(L'.');
    const std::size_t end = dot == std::wstring::npos || dot == 0 ? typed.size() : dot;
    SendMessageW(editor, EM_SETSEL, 0, static_cast<LPARAM>(end));
}

// Only the editor the logic opened is let open (a click on a selected row would open one too),
// holding the logic's text.
INT_PTR DialogWindow::onBeginLabelEdit(int id, const NMLVDISPINFOW& info) {
    if (!opened_ || opened_->list != id || opened_->row != info.item.iItem) return TRUE;
    List* entry = list(id);
    HWND editor = entry == nullptr ? nullptr : ListView_GetEditControl(entry->window);
    if (editor != nullptr) SetWindowTextW(editor, opened_->text.c_str());
    return FALSE;
}

// The text goes to the logic once the editor has been destroyed, so that the list it rebuilds has
// no editor over it. A cancelled edit brings no text.
void DialogWindow::onEndLabelEdit(int id, const NMLVDISPINFOW& info) {
    if (!opened_ || opened_->list != id) return;
    RowEdit edit = *opened_;
    opened_.reset();
    if (info.item.pszText == nullptr) return;
    edit.text = info.item.pszText;
    edited_ = std::move(edit);
    PostMessageW(hwnd_, kRowEditedMessage, 0, 0);
}

void DialogWindow::deliverRowEdit() {
    if (!edited_) return;
    const RowEdit edit = std::move(*edited_);
    edited_.reset();
    const std::string text = toUtf8(edit.text);
    dispatch([&] { handler_.onRowTextEdited(edit.list, edit.row, text); });
}

bool DialogWindow::endLabelEdit(bool apply) {
    for (auto& [listId, entry] : lists_) {
        if (ListView_GetEditControl(entry.window) == nullptr) continue;
        if (apply) {
            // The list ends the edit and keeps its text when its editor loses the focus.
            SetFocus(entry.window);
        } else {
            SendMessageW(entry.window, LVM_CANCELEDITLABEL, 0, 0);
        }
        return true;
    }
    return false;
}

bool DialogWindow::askYesNo(std::string_view text) {
    publishLists();
    const std::wstring caption = toWide(loadString(kMsgProgramName));
    return MessageBoxW(nullptr, toWide(text).c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace quillomar::win32
