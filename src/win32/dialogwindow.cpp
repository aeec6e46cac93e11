#include "win32/dialogwindow.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <algorithm>
#include <cerrno>

#include "platform/messages.h"
#include "win32/dialogbytes.h"
#include "win32/panewindow.h"
#include "win32/widetext.h"

namespace quillomar::win32 {

namespace {

// Private messages: a message the logic posted to itself (wParam), and a progress position
// carried out once the current call has returned (wParam the bar, lParam the position).
constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT kProgressPosMessage = WM_APP + 2;

// The dialogs with accelerators, innermost last: the thread's keyboard hook serves them.
std::vector<DialogWindow*>* acceleratedDialogs() {
    static std::vector<DialogWindow*> dialogs;
    return &dialogs;
}

// A COM interface pointer released when it goes.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_ != nullptr) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// The source side of a drag of files: the drop happens when the buttons are let go, Escape
// cancels it. It lives on the stack for the one drag.
class FileDropSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        if ((keys & (MK_LBUTTON | MK_RBUTTON)) == 0) return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ULONG references_ = 1;
};

// Offers files to a drop as the shell offers them (Explorer copies them), and runs the drag. With
// no parent folder, each item is named from the desktop, as an absolute item is.
void dragFiles(const std::vector<std::string>& files) {
    std::vector<PCUITEMID_CHILD> items;
    for (const std::string& file : files) {
        if (PIDLIST_ABSOLUTE item = ILCreateFromPathW(toWide(file).c_str())) items.push_back(item);
    }
    ComRef<IDataObject> data;
    if (!items.empty() && SUCCEEDED(SHCreateDataObject(nullptr, static_cast<UINT>(items.size()), items.data(), nullptr,
                                                       IID_IDataObject, data.outVoid()))) {
        FileDropSource source;
        DWORD effect = DROPEFFECT_NONE;
        DoDragDrop(data.get(), &source, DROPEFFECT_COPY, &effect);
    }
    for (PCUITEMID_CHILD item : items) ILFree(const_cast<PIDLIST_RELATIVE>(item));
}

std::optional<std::string> pickFolderClassic(HWND owner, const std::wstring& title) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) return std::nullopt;
    std::wstring path(32768, L'\0');
    const bool found = SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(chosen);
    if (!found) return std::nullopt;
    path.resize(wcslen(path.c_str()));
    return toUtf8(path);
}

}  // namespace

DialogWindow::DialogWindow(const DialogTemplate& dialog, Language language, DialogHandler& handler, HWND owner)
    : dialog_(dialog), language_(language), handler_(handler), owner_(owner) {}

DialogWindow::~DialogWindow() {
    std::vector<DialogWindow*>& dialogs = *acceleratedDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
    if (keyHook_ != nullptr) UnhookWindowsHookEx(keyHook_);
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

int DialogWindow::run() {
    registerPaneClass();
    const std::vector<std::uint32_t> bytes = buildDialogTemplate(dialog_, language_);
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner_,
                                &DialogWindow::dialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK DialogWindow::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
        self->initialize();
        return TRUE;
    }
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    return self == nullptr ? FALSE : self->handle(message, wParam, lParam);
}

void DialogWindow::initialize() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    minimumWindow_ = {outer.right - outer.left, outer.bottom - outer.top};
    RECT gapUnits{0, 0, 4, 0};
    MapDialogRect(hwnd_, &gapUnits);
    layout_ = AnchorLayout(client.right, client.bottom, gapUnits.right);
    // The dialog manager creates the controls in template order, each below the ones before it:
    // the children from the top are the template's controls in turn, labels included.
    HWND window = GetWindow(hwnd_, GW_CHILD);
    for (const ControlTemplate& control : dialog_.controls) {
        if (window == nullptr) break;
        // Enter sends the OK command, whichever other button the template draws as a default.
        if (control.id == kIdOk && control.has(kStyleDefaultButton)) SendMessageW(hwnd_, DM_SETDEFID, kIdOk, 0);
        if (control.kind == ControlKind::Static) widenOneLineLabel(window, control);
        RECT rect{};
        GetWindowRect(window, &rect);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
        layout_.add({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}, control.anchors());
        placed_.push_back(window);
        if (control.kind == ControlKind::ListView && control.id != kNoControlId) {
            List& entry = lists_[control.id];
            entry.window = window;
            entry.baseWidth = rect.right - rect.left;
            ListView_SetExtendedListViewStyle(window, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER);
        }
        window = GetWindow(window, GW_HWNDNEXT);
    }
    dispatch([&] { handler_.onInit(*this); });
}

// The system's face for the template's font can be wider than the one the dialog was laid out
// for: a one-line label whose text would wrap grows to the right into the free space beside it.
void DialogWindow::widenOneLineLabel(HWND label, const ControlTemplate& control) {
    if (control.has(kStyleSunken) || control.has(kStyleCenter) || control.has(kStyleEndEllipsis) ||
        control.has(kStyleGrowWidth)) {
        return;
    }
    const std::wstring text = toWide(control.text.in(language_));
    RECT rect{};
    GetClientRect(label, &rect);
    HDC context = GetDC(label);
    if (context == nullptr) return;
    HGDIOBJ before = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    SIZE size{};
    const bool measured = GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(context, before);
    ReleaseDC(label, context);
    if (measured && size.cx + 1 > rect.right) {
        GetWindowRect(label, &rect);
        SetWindowPos(label, nullptr, 0, 0, size.cx + 1, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

INT_PTR DialogWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(wParam);
            return TRUE;
        case WM_CLOSE:
            // A dialog without a system menu has no close command: Alt+F4 is not heard, rather
            // than taken for the cancel command, which in the content window starts Extract all.
            if (!dialog_.has(kDialogSystemMenu)) return TRUE;
            return FALSE;
        case WM_DROPFILES:
            onDrop(reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const INT_PTR result = onNotify(*reinterpret_cast<const NMHDR*>(lParam));
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_CONTEXTMENU:
            onContextMenu(reinterpret_cast<HWND>(wParam), lParam);
            return TRUE;
        case WM_SIZE:
            onSize();
            return FALSE;
        case WM_GETMINMAXINFO:
            if (dialog_.has(kDialogResizable) && minimumWindow_.cx > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = {minimumWindow_.cx, minimumWindow_.cy};
                return TRUE;
            }
            return FALSE;
        case kPostedMessage:
            deliverPosted(static_cast<int>(wParam));
            return TRUE;
        case kProgressPosMessage:
            setProgressPos(static_cast<int>(wParam), static_cast<int>(lParam));
            return TRUE;
        case kRowEditedMessage:
            deliverRowEdit();
            return TRUE;
        default:
            return FALSE;
    }
}

void DialogWindow::onCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    // What the user types in an edit box; the logic's own texts come back while its call runs,
    // and are not delivered.
    if (HIWORD(wParam) == EN_CHANGE) {
        const ControlTemplate* control = dialog_.control(id);
        if (control != nullptr && control->kind == ControlKind::Edit) dispatch([&] { handler_.onEditChange(id); });
        return;
    }
    if (HIWORD(wParam) != BN_CLICKED) return;
    // Enter and Escape in a row's label editor end the edit, and only that: Escape is not then
    // taken for Extract all.
    if ((id == kIdOk || id == kIdCancel) && endLabelEdit(id == kIdOk)) return;
    // Enter on a list is the dialog manager's OK command: it opens the list's current row.
    if (id == kIdOk) {
        for (auto& [listId, entry] : lists_) {
            if (GetFocus() != entry.window) continue;
            const int row = currentRow(listId);
            if (row >= 0) dispatch([&, listId = listId] { handler_.onItemActivate(listId, row); });
            return;
        }
    }
    dispatch([&] { handler_.onCommand(id); });
}

void DialogWindow::onDrop(HDROP drop) {
    if (guard_.busy() || !dialog_.has(kDialogAcceptFiles)) {
        DragFinish(drop);
        return;
    }
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(length, L'\0');
    if (length > 0) DragQueryFileW(drop, 0, path.data(), length + 1);
    DragFinish(drop);
    if (length == 0) return;
    const std::string utf8 = toUtf8(path);
    dispatch([&] { handler_.onDrop(utf8); });
}

INT_PTR DialogWindow::onNotify(const NMHDR& header) {
    const int id = static_cast<int>(header.idFrom);
    List* entry = list(id);
    if (entry == nullptr) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& info = *reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header));
            if ((info.item.mask & LVIF_TEXT) == 0 || info.item.pszText == nullptr || info.item.cchTextMax <= 0) break;
            const std::wstring text = toWide(entry->rows.cellText(info.item.iItem, info.item.iSubItem));
            const std::size_t room = static_cast<std::size_t>(info.item.cchTextMax) - 1;
            const std::size_t length = std::min(text.size(), room);
            std::copy_n(text.data(), length, info.item.pszText);
            info.item.pszText[length] = L'\0';
            break;
        }
        case LVN_ODFINDITEMW:
            return findRow(*entry, *reinterpret_cast<const NMLVFINDITEMW*>(&header));
        case LVN_COLUMNCLICK: {
            const int column = reinterpret_cast<const NMLISTVIEW*>(&header)->iSubItem;
            dispatch([&] { handler_.onColumnClick(id, column); });
            break;
        }
        case LVN_KEYDOWN:
            if (onListKey(id, reinterpret_cast<const NMLVKEYDOWN*>(&header)->wVKey)) break;
            // Ctrl+A selects every row.
            if (reinterpret_cast<const NMLVKEYDOWN*>(&header)->wVKey == 'A' && GetKeyState(VK_CONTROL) < 0 &&
                (GetWindowLongPtrW(entry->window, GWL_STYLE) & LVS_SINGLESEL) == 0) {
                ListView_SetItemState(entry->window, -1, LVIS_SELECTED, LVIS_SELECTED);
            }
            break;
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG: {
            // The logic writes the rows' files first (the bars and the hint show how far it got);
            // the drag then offers them.
            const std::vector<int> rows = selectedRows(id);
            std::vector<std::string> files;
            if (!rows.empty()) dispatch([&] { files = handler_.onDragRows(id, rows); });
            if (!files.empty()) dragFilesOut(files);
            break;
        }
        case LVN_ITEMCHANGED: {
            const auto& change = *reinterpret_cast<const NMLISTVIEW*>(&header);
            if (change.iItem >= 0 && ((change.uNewState ^ change.uOldState) & LVIS_FOCUSED) != 0 &&
                (change.uNewState & LVIS_FOCUSED) != 0) {
                const int row = change.iItem;
                dispatch([&] { handler_.onCurrentRowChange(id, row); });
            }
            break;
        }
        case LVN_BEGINLABELEDITW:
            return onBeginLabelEdit(id, *reinterpret_cast<const NMLVDISPINFOW*>(&header));
        case LVN_ENDLABELEDITW:
            onEndLabelEdit(id, *reinterpret_cast<const NMLVDISPINFOW*>(&header));
            return FALSE;
        case LVN_ITEMACTIVATE: {
            const int row = reinterpret_cast<const NMITEMACTIVATE*>(&header)->iItem;
            if (row >= 0) dispatch([&] { handler_.onItemActivate(id, row); });
            break;
        }
        default:
            break;
    }
    return 0;
}

// Typing in the list jumps to the next row, from the current one on and round to the top, whose
// first column begins with what was typed, in any case.
int DialogWindow::findRow(const List& entry, const NMLVFINDITEMW& find) const {
    if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr) return -1;
    const std::wstring typed = find.lvfi.psz;
    const int count = entry.rows.rowCount();
    if (typed.empty() || count == 0) return -1;
    const int start = std::clamp(find.iStart, 0, count);
    for (int i = 0; i < count; ++i) {
        const int row = (start + i) % count;
        const std::wstring text = toWide(entry.rows.cellText(row, 0));
        if (text.size() < typed.size()) continue;
        if (CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), static_cast<int>(typed.size()),
                            typed.c_str(), static_cast<int>(typed.size()), nullptr, nullptr, 0) == CSTR_EQUAL) {
            return row;
        }
    }
    return -1;
}

// The menu opens at the mouse, or under the current row when asked for from the keyboard.
void DialogWindow::onContextMenu(HWND from, LPARAM where) {
    for (auto& [listId, entry] : lists_) {
        if (from != entry.window) continue;
        POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
        if (at.x == -1 && at.y == -1) {
            RECT rect{};
            const int row = currentRow(listId);
            if (row < 0 || !ListView_GetItemRect(entry.window, row, &rect, LVIR_LABEL))
                GetClientRect(entry.window, &rect);
            at = {rect.left, rect.bottom};
            ClientToScreen(entry.window, &at);
        }
        menuAt_ = at;
        dispatch([&, listId = listId] { handler_.onContextMenu(listId); });
        return;
    }
}

// A dialog made larger than its template: each control follows the edges its style names.
void DialogWindow::onSize() {
    if (!dialog_.has(kDialogResizable) || placed_.empty()) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const std::vector<Rect> rects = layout_.place(client.right, client.bottom, [this](std::size_t i) {
        return (GetWindowLongPtrW(placed_[i], GWL_STYLE) & WS_VISIBLE) != 0;
    });
    for (std::size_t i = 0; i < rects.size(); ++i) {
        SetWindowPos(placed_[i], nullptr, rects[i].x, rects[i].y, rects[i].width, rects[i].height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (auto& [listId, entry] : lists_) stretchColumns(entry);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Only the stretching columns are set: the others keep the widths the user may have given them.
void DialogWindow::stretchColumns(List& entry) {
    if (entry.stretch.empty()) return;
    RECT rect{};
    GetWindowRect(entry.window, &rect);
    const std::vector<int> widths =
        stretchedWidths(entry.widths, entry.stretch, static_cast<int>(rect.right - rect.left) - entry.baseWidth);
    for (int column : entry.stretch) {
        if (column >= 0 && static_cast<std::size_t>(column) < widths.size())
            ListView_SetColumnWidth(entry.window, column, widths[static_cast<std::size_t>(column)]);
    }
}

// Controls -------------------------------------------------------------------------------------

void DialogWindow::setItemText(int id, std::string_view text) { SetDlgItemTextW(hwnd_, id, toWide(text).c_str()); }

void DialogWindow::limitText(int id, std::size_t maxCharacters) {
    SendDlgItemMessageW(hwnd_, id, EM_SETLIMITTEXT, static_cast<WPARAM>(maxCharacters), 0);
}

std::string DialogWindow::itemText(int id) const {
    HWND window = item(id);
    if (window == nullptr) return {};
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int read = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(0, read)));
    return toUtf8(text);
}

void DialogWindow::enableItem(int id, bool enabled) {
    if (HWND window = item(id)) EnableWindow(window, enabled ? TRUE : FALSE);
}

bool DialogWindow::isChecked(int id) const { return hwnd_ != nullptr && IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void DialogWindow::setChecked(int id, bool checked) {
    if (hwnd_ != nullptr) CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// Progress bars: the control keeps the range, the step and the position, and starts over from
// its bottom when a step passes the top.

void DialogWindow::setProgressRange(int id, int low, int high) {
    SendDlgItemMessageW(hwnd_, id, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void DialogWindow::setProgressStep(int id, int step) {
    SendDlgItemMessageW(hwnd_, id, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void DialogWindow::setProgressPos(int id, int position) {
    SendDlgItemMessageW(hwnd_, id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void DialogWindow::postProgressPos(int id, int position) {
    PostMessageW(hwnd_, kProgressPosMessage, static_cast<WPARAM>(id), static_cast<LPARAM>(position));
}

void DialogWindow::stepProgress(int id) {
    SendDlgItemMessageW(hwnd_, id, PBM_STEPIT, 0, 0);
    keepPainted();
}

// Long work steps the bar from inside a call into the logic: the windows repaint meanwhile, and
// messages sent from other threads are answered, but no input is taken (it waits in the queue and
// is dropped when the work has returned).
void DialogWindow::keepPainted() {
    if (!CallGuard::pumpDue()) return;
    publishLists();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
        DispatchMessageW(&message);
    }
    CallGuard::notePump();
}

// Clicks, keys and drops made while the work ran are not taken afterwards either.
void DialogWindow::discardQueuedInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
        DragFinish(reinterpret_cast<HDROP>(message.wParam));
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {}
}

// List view -----------------------------------------------------------------------------------

DialogWindow::List* DialogWindow::list(int id) {
    auto found = lists_.find(id);
    return found == lists_.end() ? nullptr : &found->second;
}

const DialogWindow::List* DialogWindow::list(int id) const {
    auto found = lists_.find(id);
    return found == lists_.end() ? nullptr : &found->second;
}

// The control learns the row count once per call into the logic, not at every insertion.
void DialogWindow::publishLists() {
    for (auto& [listId, entry] : lists_) {
        if (!entry.changed) continue;
        entry.changed = false;
        ListView_SetItemCountEx(entry.window, entry.rows.rowCount(), LVSICF_NOSCROLL);
        InvalidateRect(entry.window, nullptr, FALSE);
    }
}

bool DialogWindow::insertColumn(int id, int column, std::string_view title, int widthPixels) {
    List* entry = list(id);
    if (entry == nullptr || column < 0) return false;
    // Widths are given for a screen of 96 dots per inch.
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    const int width = MulDiv(widthPixels, dpi, 96);
    std::wstring text = toWide(title);
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = width;
    info.pszText = text.data();
    info.iSubItem = column;
    const int at = ListView_InsertColumn(entry->window, std::min(column, entry->rows.columnCount()), &info);
    if (at < 0) return false;
    entry->widths.insert(entry->widths.begin() + entry->rows.insertColumn(at), width);
    return true;
}

int DialogWindow::insertRow(int id, int position, std::uintptr_t data) {
    List* entry = list(id);
    if (entry == nullptr) return -1;
    entry->changed = true;
    return entry->rows.insertRow(position, data);
}

void DialogWindow::setCellText(int id, int row, int column, std::string_view text) {
    List* entry = list(id);
    if (entry != nullptr && entry->rows.setCellText(row, column, text)) entry->changed = true;
}

std::string DialogWindow::cellText(int id, int row, int column) const {
    const List* entry = list(id);
    return entry == nullptr ? std::string() : entry->rows.cellText(row, column);
}

int DialogWindow::rowCount(int id) const {
    const List* entry = list(id);
    return entry == nullptr ? 0 : entry->rows.rowCount();
}

std::uintptr_t DialogWindow::rowData(int id, int row) const {
    const List* entry = list(id);
    return entry == nullptr ? 0 : entry->rows.rowValue(row);
}

// The selection and the current row follow their rows.
void DialogWindow::sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) {
    List* entry = list(id);
    if (entry == nullptr) return;
    RowStore::Sorted sorted = entry->rows.sorted(compare);
    const std::vector<int> selected = selectedRows(id);
    const int current = currentRow(id);
    const std::vector<int>& newPlace = sorted.newRows();
    entry->rows.adopt(std::move(sorted));
    ListView_SetItemState(entry->window, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : selected) {
        ListView_SetItemState(entry->window, newPlace[static_cast<std::size_t>(row)], LVIS_SELECTED, LVIS_SELECTED);
    }
    if (current >= 0) {
        const int moved = newPlace[static_cast<std::size_t>(current)];
        ListView_SetItemState(entry->window, moved, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(entry->window, moved, FALSE);
    }
    entry->changed = true;
}

void DialogWindow::setCellSource(int id, CellSource source) {
    List* entry = list(id);
    if (entry == nullptr) return;
    entry->rows.setCellSource(std::move(source));
    entry->changed = true;
}

std::vector<int> DialogWindow::selectedRows(int id) const {
    std::vector<int> rows;
    const List* entry = list(id);
    if (entry == nullptr) return rows;
    for (int row = ListView_GetNextItem(entry->window, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(entry->window, row, LVNI_SELECTED)) {
        if (row < entry->rows.rowCount()) rows.push_back(row);
    }
    return rows;
}

int DialogWindow::currentRow(int id) const {
    const List* entry = list(id);
    if (entry == nullptr) return -1;
    const int row = ListView_GetNextItem(entry->window, -1, LVNI_FOCUSED);
    return row >= 0 && row < entry->rows.rowCount() ? row : -1;
}

void DialogWindow::setStretchColumns(int id, std::vector<int> columns) {
    if (List* entry = list(id)) {
        entry->stretch = std::move(columns);
        stretchColumns(*entry);
    }
}

// Rows dragged onto this very list are not taken back as files dropped on it.
void DialogWindow::dragFilesOut(const std::vector<std::string>& files) {
    draggingOut_ = true;
    dragFiles(files);
    draggingOut_ = false;
    MSG message;
    for (auto& [listId, entry] : lists_) {
        while (PeekMessageW(&message, entry.window, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
            DragFinish(reinterpret_cast<HDROP>(message.wParam));
        }
    }
}

// Window ---------------------------------------------------------------------------------------

void DialogWindow::setIcon(int iconId) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto load = [&](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                             GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                             LR_DEFAULTCOLOR));
    };
    HICON big = load(SM_CXICON, SM_CYICON);
    HICON small = load(SM_CXSMICON, SM_CYSMICON);
    if (big != nullptr) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small != nullptr) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
    bigIcon_ = big;
    smallIcon_ = small;
}

void DialogWindow::postMessage(int message) { PostMessageW(hwnd_, kPostedMessage, static_cast<WPARAM>(message), 0); }

// Messages posted while a call ran follow it, while the dialog still runs.
void DialogWindow::repost(int message) {
    if (hwnd_ != nullptr) postMessage(message);
}

void DialogWindow::deliverPosted(int message) {
    if (!guard_.admitPosted(message)) return;
    // The dialog manager shows a modal dialog only once its queue has run dry: a message posted
    // from the initialisation (the archive named on the command line) would otherwise run its
    // work, and the content window over it, before this window was ever shown.
    if (!IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        UpdateWindow(hwnd_);
    }
    dispatch([&] { handler_.onPostedMessage(message); });
}

void DialogWindow::endDialog(int result) {
    if (hwnd_ != nullptr) EndDialog(hwnd_, result);
}

int DialogWindow::runDialog(int dialogId, DialogHandler& handler) {
    const DialogTemplate* child = findDialogTemplate(dialogId);
    if (child == nullptr) return -1;
    publishLists();
    DialogWindow window(*child, language_, handler, hwnd_);
    return window.run();
}

// The shell's folder picker, opening at the user's home; the classic one where it is missing.
std::optional<std::string> DialogWindow::pickFolder(std::string_view title) {
    publishLists();
    const std::wstring wideTitle = toWide(title);
    ComRef<IFileOpenDialog> picker;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                picker.outVoid()))) {
        return pickFolderClassic(hwnd_, wideTitle);
    }
    FILEOPENDIALOGOPTIONS options = 0;
    picker->GetOptions(&options);
    picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    picker->SetTitle(wideTitle.c_str());
    PWSTR home = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &home))) {
        ComRef<IShellItem> folder;
        if (SUCCEEDED(SHCreateItemFromParsingName(home, nullptr, IID_IShellItem, folder.outVoid()))) {
            picker->SetFolder(folder.get());
        }
    }
    CoTaskMemFree(home);
    if (FAILED(picker->Show(hwnd_))) return std::nullopt;
    ComRef<IShellItem> chosen;
    if (FAILED(picker->GetResult(chosen.out()))) return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::nullopt;
    std::string utf8 = toUtf8(path);
    CoTaskMemFree(path);
    return utf8;
}

// The shell's "open" with this window as owner; the started program is shown without taking the
// focus. No program, or an incomplete association, is the caller's to report (message 105); any
// other failure is reported here, with the file's path.
bool DialogWindow::openWithDesktop(const std::string& path) {
    std::wstring file = toWide(path);
    std::replace(file.begin(), file.end(), L'/', L'\\');
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(hwnd_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNA));
    switch (result) {
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE:
            return false;
        case 0:
        case SE_ERR_OOM:
            showStringMessage(kMsgOutOfMemory);
            break;
        case SE_ERR_FNF:
        case SE_ERR_PNF:
            report(Failure::system(ENOENT, path));
            break;
        case SE_ERR_ACCESSDENIED:
        case SE_ERR_SHARE:
            report(Failure::system(EACCES, path));
            break;
        default:
            if (result <= 32) report(Failure::system(EIO, path));
            break;
    }
    return true;
}

int DialogWindow::popupMenu(const std::vector<MenuItem>& items) {
    publishLists();
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return 0;
    for (const MenuItem& entry : items) {
        const UINT flags = MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED);
        AppendMenuW(menu, flags, static_cast<UINT_PTR>(entry.command), toWide(entry.text).c_str());
    }
    const int chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, menuAt_.x, menuAt_.y, 0, hwnd_, nullptr);
    DestroyMenu(menu);
    return chosen;
}

// Lines end in CR LF on the Windows clipboard.
void DialogWindow::setClipboardText(std::string_view text) {
    std::wstring wide;
    for (wchar_t c : toWide(text)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    if (!OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(target));
            GlobalUnlock(memory);
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

// Filter and preview ------------------------------------------------------------------------------

void DialogWindow::clearRows(int id) {
    List* entry = list(id);
    if (entry == nullptr) return;
    ListView_SetItemState(entry->window, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    entry->rows.clearRows();
    entry->changed = true;
}

void DialogWindow::setFocusItem(int id) {
    // The dialog manager's way: the default button follows, and an edit box's text is selected.
    if (HWND window = item(id)) SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
}

int DialogWindow::focusedItem() const {
    HWND focused = GetFocus();
    if (hwnd_ == nullptr || focused == nullptr || !IsChild(hwnd_, focused)) return 0;
    while (GetParent(focused) != hwnd_) focused = GetParent(focused);
    return GetDlgCtrlID(focused);
}

void DialogWindow::showItem(int id, bool shown) {
    HWND window = item(id);
    if (window == nullptr) return;
    ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
    onSize();
}

bool DialogWindow::isItemShown(int id) const {
    HWND window = item(id);
    return window != nullptr && (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void DialogWindow::setAccelerators(std::vector<Accelerator> keys) {
    accelerators_ = std::move(keys);
    std::vector<DialogWindow*>& dialogs = *acceleratedDialogs();
    if (std::find(dialogs.begin(), dialogs.end(), this) == dialogs.end()) dialogs.push_back(this);
    // The dialog manager runs the modal loop and offers each message to this hook first.
    if (keyHook_ == nullptr)
        keyHook_ = SetWindowsHookExW(WH_MSGFILTER, &DialogWindow::keyHook, nullptr, GetCurrentThreadId());
}

LRESULT CALLBACK DialogWindow::keyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && lParam != 0) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        for (DialogWindow* dialog : *acceleratedDialogs()) {
            if (dialog->takeAccelerator(message)) return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool DialogWindow::takeAccelerator(const MSG& message) {
    if (message.message != WM_KEYDOWN || hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    const bool control = GetKeyState(VK_CONTROL) < 0;
    for (const Accelerator& key : accelerators_) {
        if (static_cast<WPARAM>(key.key) != message.wParam || key.control != control) continue;
        const int command = key.command;
        dispatch([&] { handler_.onCommand(command); });
        return true;
    }
    return false;
}

void DialogWindow::setPaneContent(int id, const PaneContent& content) {
    if (HWND window = item(id)) quillomar::win32::setPaneContent(window, content);
}

}  // namespace quillomar::win32
