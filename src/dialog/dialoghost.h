#pragma once
// The window logic's view of a dialog: its controls, addressed by their resource ids, and the few
// window operations the logic needs. The window program implements it over Qt widgets built from
// the dialog templates; tests implement it with a fake. The logic itself never sees a widget.
//
// Texts are UTF-8. Numbers read and written through the texts follow the dialog manager's rules
// (SetDlgItemInt / GetDlgItemInt, signed).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resourceids.h"

namespace quillomar {

// First private message number (WM_USER); the logic posts itself messages from here on.
inline constexpr int kUserMessage = 0x0400;

// The first `count` characters of UTF-8 text, as a buffer of count + 1 characters would take them.
// A byte that is no valid UTF-8 lead counts as one character.
inline std::string firstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t taken = 0; at < utf8.size() && taken < count; ++taken) {
        ++at;
        while (at < utf8.size() && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) ++at;
    }
    return std::string(utf8.substr(0, at));
}

// A text read as a signed decimal number the way the dialog manager reads a control's number:
// blanks around it, an optional sign, at least one digit and nothing else. nullopt for any other
// text and for a number outside the signed 32-bit range.
inline std::optional<std::int32_t> parseDialogInt(std::string_view text) {
    std::size_t at = 0;
    auto blank = [&](std::size_t i) { return text[i] == ' ' || text[i] == '\t'; };
    while (at < text.size() && blank(at)) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    const std::size_t digitsStart = at;
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > std::int64_t{0x80000000}) return std::nullopt;
    }
    if (at == digitsStart) return std::nullopt;
    while (at < text.size() && blank(at)) ++at;
    if (at != text.size()) return std::nullopt;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

class DialogHost;

// The keys of a list that its logic acts on.
enum class ListKey { Delete, Rename };

// What a dialog's logic receives from its host. Every call runs on the user-interface thread and
// returns before the host takes the next input; the host takes no input for this dialog while a
// call runs (drops and clicks are dropped, posted messages wait until the call has returned).
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // Dialog initialisation: the controls exist with their template texts and states, the window
    // is not shown yet. The host stays valid until the dialog has ended.
    virtual void onInit(DialogHost& host) = 0;
    // A button click, or kIdOk / kIdCancel from the keyboard and the caption.
    virtual void onCommand(int id) = 0;
    // Files dropped on the dialog: the path of the first dropped item.
    virtual void onDrop(const std::string& /*path*/) {}
    // A message posted with DialogHost::postMessage, delivered once the dialog's loop runs.
    virtual void onPostedMessage(int /*message*/) {}
    // List notifications: a row activated (double-click, Enter), a column header clicked.
    virtual void onItemActivate(int /*listId*/, int /*row*/) {}
    virtual void onColumnClick(int /*listId*/, int /*column*/) {}
    // The list's context menu was asked for (right button, the Menu key, Shift+F10).
    virtual void onContextMenu(int /*listId*/) {}
    // Rows are being dragged out of the list: the files the drop receives (host paths), or none
    // to refuse the drag.
    virtual std::vector<std::string> onDragRows(int /*listId*/, const std::vector<int>& /*rows*/) { return {}; }
    // The user changed an edit box's text (not the logic, through setItemText).
    virtual void onEditChange(int /*id*/) {}
    // The list's current row (the one with the keyboard focus) changed; -1 for none.
    virtual void onCurrentRowChange(int /*listId*/, int /*row*/) {}
    // Files dropped on a list that takes them (DialogHost::acceptListDrops): every item's path.
    virtual void onListDrop(int /*listId*/, const std::vector<std::string>& /*paths*/) {}
    // Delete (the Delete key) or Rename (F2) pressed on a list.
    virtual void onListKey(int /*listId*/, ListKey /*key*/) {}
    // The editor that DialogHost::editRowText opened was applied (Enter, or the focus left it)
    // holding text. Escape closes it without a call.
    virtual void onRowTextEdited(int /*listId*/, int /*row*/, const std::string& /*text*/) {}
};

// A key that sends a command to the logic wherever the focus is in its dialog. key is a Windows
// virtual-key code: a letter's upper case, or one of the codes below.
struct Accelerator {
    int key = 0;
    bool control = false;  // held with Ctrl
    int command = 0;       // what DialogHandler::onCommand receives
};
inline constexpr int kKeyF1 = 0x70;
inline constexpr int kKeyF3 = 0x72;

// What a preview pane shows: nothing, text (proportional or, for a dump, fixed-width), a picture
// as pixels or as a file's bytes that the host's toolkit decodes, or a message in the pane's
// middle.
struct PaneContent {
    enum class Kind { Empty, Text, FixedText, Pixels, EncodedImage, Message };
    Kind kind = Kind::Empty;
    std::string text;                   // Text, FixedText, Message: UTF-8
    int width = 0;                      // Pixels
    int height = 0;                     // Pixels
    std::vector<std::uint32_t> pixels;  // Pixels: 0xAARRGGBB, width x height, top row first
    std::vector<std::byte> encoded;     // EncodedImage: BMP, PNG, JPEG or GIF as stored
    std::string sizeFormat;             // a picture's caption, "%1" its width and "%2" its height
    std::string failureText;            // shown instead of an encoded picture the toolkit cannot read
};

// The scale at which a picture of width x height is shown in an area of areaWidth x areaHeight:
// as large as fits whole, never larger than 4 times its size. 0 for an empty picture or area.
inline double pictureScale(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return 0.0;
    const double fit = std::min(static_cast<double>(areaWidth) / width, static_cast<double>(areaHeight) / height);
    return std::min(fit, 4.0);
}

// One command of a popup menu.
struct MenuItem {
    int command = 0;  // what DialogHost::popupMenu returns when it is chosen; not 0
    std::string text;
    bool enabled = true;
};

class DialogHost {
public:
    virtual ~DialogHost() = default;

    // Control texts (SetDlgItemText / GetDlgItemText). itemText(id) reads the whole text.
    virtual void setItemText(int id, std::string_view text) = 0;
    virtual std::string itemText(int id) const = 0;
    // At most maxCharacters characters, as a buffer of maxCharacters + 1 would hold them.
    std::string itemText(int id, std::size_t maxCharacters) const {
        return firstCharacters(itemText(id), maxCharacters);
    }

    // Numbers, signed (SetDlgItemInt / GetDlgItemInt). itemInt is nullopt for a text that is no
    // valid number, where the dialog manager's conversion gives 0 and says it failed.
    void setItemInt(int id, std::int32_t value) { setItemText(id, std::to_string(value)); }
    std::optional<std::int32_t> itemInt(int id) const { return parseDialogInt(itemText(id)); }

    // An edit box takes no more than maxCharacters characters from the user (EM_LIMITTEXT). The
    // logic sets no longer text in such a box itself.
    virtual void limitText(int id, std::size_t maxCharacters) = 0;

    virtual void enableItem(int id, bool enabled) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;

    // Progress bar. Its position is kept inside the range; a step past the top starts over from
    // the bottom. Stepping also lets the dialog repaint, so long work never looks frozen.
    virtual void setProgressRange(int id, int low, int high) = 0;
    virtual void setProgressStep(int id, int step) = 0;
    virtual void setProgressPos(int id, int position) = 0;
    // The same, carried out once the current call into the logic has returned.
    virtual void postProgressPos(int id, int position) = 0;
    virtual void stepProgress(int id) = 0;

    // List view in report view. Rows carry a value of the logic's own (an entry reference).
    // false when the column cannot be inserted.
    virtual bool insertColumn(int id, int column, std::string_view title, int widthPixels) = 0;
    // Inserts an empty row at position (clamped to the list); returns its index, or -1.
    virtual int insertRow(int id, int position, std::uintptr_t data) = 0;
    virtual void setCellText(int id, int row, int column, std::string_view text) = 0;
    virtual std::string cellText(int id, int row, int column) const = 0;
    virtual int rowCount(int id) const = 0;
    virtual std::uintptr_t rowData(int id, int row) const = 0;
    // Orders the rows by compare over their data (negative: first before second).
    virtual void sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) = 0;
    // Once given, the list holds no texts of its own: each cell shown is asked of source, with its
    // row's data and its column, and setCellText is not needed.
    using CellSource = std::function<std::string(std::uintptr_t data, int column)>;
    virtual void setCellSource(int id, CellSource source) = 0;
    // The selected rows, top to bottom; the row with the keyboard focus, or -1.
    virtual std::vector<int> selectedRows(int id) const = 0;
    virtual int currentRow(int id) const = 0;
    // The columns that share what the list gains in width when its dialog grows.
    virtual void setStretchColumns(int id, std::vector<int> columns) = 0;
    // From now on, files dropped on list id go to the logic's onListDrop; its rows dragged onto
    // itself are not taken.
    virtual void acceptListDrops(int id) = 0;
    // Opens an editor over the first cell of row, holding text; its end comes to onRowTextEdited.
    virtual void editRowText(int id, int row, std::string_view text) = 0;

    // The window's icon, by icon resource id.
    virtual void setIcon(int iconId) = 0;
    // Delivers onPostedMessage(message) once the dialog's loop runs and no call is in progress.
    virtual void postMessage(int message) = 0;
    // Ends the dialog once the current call has returned; its run returns result.
    virtual void endDialog(int result) = 0;
    // Runs dialog dialogId modally, owned by this dialog, with handler as its logic; returns the
    // result given to endDialog, or -1 when the dialog cannot be created.
    virtual int runDialog(int dialogId, DialogHandler& handler) = 0;
    // The folder picker, owned by this dialog: the chosen folder, or nullopt when cancelled.
    virtual std::optional<std::string> pickFolder(std::string_view title) = 0;
    // Hands a file to the desktop's "open" for its type; false when nothing could open it.
    virtual bool openWithDesktop(const std::string& path) = 0;
    // A popup menu where it was asked for (at the mouse, or at the current row from the keyboard):
    // the command of the chosen item, or 0 when the menu was dismissed.
    virtual int popupMenu(const std::vector<MenuItem>& items) = 0;
    // A question box with Yes and No, as the message boxes are (no owner window, the program's
    // name as caption): true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
    // Puts text on the desktop's clipboard.
    virtual void setClipboardText(std::string_view text) = 0;

    // Removes every row of list id, and the selection with them; the columns stay.
    virtual void clearRows(int id) = 0;
    // The keyboard focus: put on control id, and the control holding it (0 for none).
    virtual void setFocusItem(int id) = 0;
    virtual int focusedItem() const = 0;
    // Shows or hides control id. A side pane that is shown takes its room from the controls
    // beside it that grow with the dialog's width.
    virtual void showItem(int id, bool shown) = 0;
    virtual bool isItemShown(int id) const = 0;
    // The keys that send commands from anywhere in the dialog, replacing any given before.
    virtual void setAccelerators(std::vector<Accelerator> keys) = 0;
    // What preview pane id shows.
    virtual void setPaneContent(int id, const PaneContent& content) = 0;
};

}  // namespace quillomar
