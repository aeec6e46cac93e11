// The Win32 dialog host against real controls: the logic's calls reach the dialog manager's
// controls and come back as they went, through UTF-16 and the virtual list. Each case runs a
// dialog whose logic does its checks from the initialisation, or from a message it posted, and
// then ends the dialog: nothing waits for a user.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "packer/packerwindow.h"
#include "viewer/contentwindow.h"
#include "win32/dialogwindow.h"
#include "win32/panewindow.h"

namespace quillomar::win32 {
namespace {

// Logic that runs a test body in its initialisation, or once its posted message arrives.
class Probe final : public DialogHandler {
public:
    std::function<void(DialogHost&)> atInit;
    std::function<void(DialogHost&, int)> atPosted;
    DialogHost* host = nullptr;
    std::vector<int> posted;

    void onInit(DialogHost& dialogHost) override {
        host = &dialogHost;
        if (atInit) atInit(dialogHost);
    }
    std::vector<int> commands;
    std::vector<int> edits;
    std::vector<int> currentRows;
    void onCommand(int id) override { commands.push_back(id); }
    void onEditChange(int id) override { edits.push_back(id); }
    void onCurrentRowChange(int, int row) override { currentRows.push_back(row); }
    std::vector<std::string> drops;
    void onDrop(const std::string& path) override {
        drops.push_back(path);
        host->endDialog(2);
    }
    void onPostedMessage(int message) override {
        posted.push_back(message);
        if (atPosted) atPosted(*host, message);
    }
    // The list's edits: what reached the logic, each ending the dialog when endOnEdit is set.
    std::vector<std::string> listDrops;
    std::vector<ListKey> keys;
    std::vector<std::pair<int, std::string>> edited;
    std::function<void(DialogHost&)> afterEdit;
    void onListDrop(int, const std::vector<std::string>& paths) override {
        listDrops = paths;
        host->endDialog(4);
    }
    void onListKey(int, ListKey key) override { keys.push_back(key); }
    void onRowTextEdited(int, int row, const std::string& text) override {
        edited.emplace_back(row, text);
        if (afterEdit) afterEdit(*host);
    }
};

int run(int dialogId, Probe& probe) {
    DialogWindow window(*findDialogTemplate(dialogId), Language::Neutral, probe, nullptr);
    return window.run();
}

TEST(Win32DialogHost, ControlTextsAndNumbersComeBackAsTheyWent) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        EXPECT_EQ(host.itemText(packer::kGenerate), "Generate POD !") << "the template's text";
        for (const std::string& text : std::vector<std::string>{
                 "", "my_pod_name", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", std::string(3000, 'x')}) {
            host.setItemText(packer::kName, text);
            EXPECT_EQ(host.itemText(packer::kName), text);
        }
        host.setItemText(packer::kName, "R\xc3\xa9pertoire");
        EXPECT_EQ(host.itemText(packer::kName, 2), "R\xc3\xa9");
        host.setItemInt(packer::kPriority, -1000);
        EXPECT_EQ(host.itemInt(packer::kPriority), -1000);

        EXPECT_FALSE(host.isChecked(packer::kWriteLog));
        host.setChecked(packer::kWriteLog, true);
        EXPECT_TRUE(host.isChecked(packer::kWriteLog));
        host.endDialog(7);
    };
    EXPECT_EQ(run(kPackerDialogId, probe), 7);
}

TEST(Win32DialogHost, ALimitedEditBoxTakesNoMoreTypedCharacters) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        host.limitText(packer::kAuthor, 79);
        HWND edit = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM found) -> BOOL {
                HWND box = GetDlgItem(window, packer::kAuthor);
                if (box != nullptr) *reinterpret_cast<HWND*>(found) = box;
                return box == nullptr;
            },
            reinterpret_cast<LPARAM>(&edit));
        ASSERT_NE(edit, nullptr);
        host.setItemText(packer::kAuthor, "");
        for (int i = 0; i < 100; ++i) SendMessageW(edit, WM_CHAR, 0xE9, 1);  // typed: e-acute
        std::string expected;
        for (int i = 0; i < 79; ++i) expected += "\xc3\xa9";
        EXPECT_EQ(host.itemText(packer::kAuthor), expected);
        host.endDialog(1);
    };
    EXPECT_EQ(run(kPackerDialogId, probe), 1);
}

TEST(Win32DialogHost, PostedMessagesArriveOnceTheDialogRunsInTheirOrder) {
    Probe probe;
    probe.atInit = [&](DialogHost& host) {
        host.postMessage(kUserMessage + 1);
        host.postMessage(kUserMessage + 2);
        EXPECT_TRUE(probe.posted.empty()) << "not during the initialisation";
    };
    probe.atPosted = [&](DialogHost& host, int message) {
        if (message == kUserMessage + 2) host.endDialog(1);
    };
    EXPECT_EQ(run(kPackerDialogId, probe), 1);
    EXPECT_EQ(probe.posted, (std::vector<int>{kUserMessage + 1, kUserMessage + 2}));
}

TEST(Win32DialogHost, VirtualListHoldsRowsSortsThemStablyAndAsksTheSourceForCells) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        const int list = viewer::kList;
        for (int column = 0; column < 3; ++column) {
            EXPECT_TRUE(host.insertColumn(list, column, "C" + std::to_string(column), 50));
        }
        EXPECT_FALSE(host.insertColumn(packer::kName, 0, "no list", 50));

        // Without a source the list keeps the texts it was given.
        EXPECT_EQ(host.insertRow(list, 0, 10), 0);
        EXPECT_EQ(host.insertRow(list, 99, 30), 1) << "a position past the end is the end";
        EXPECT_EQ(host.insertRow(list, -5, 20), 0) << "a position before the start is the start";
        host.setCellText(list, 1, 2, "caf\xc3\xa9");
        EXPECT_EQ(host.cellText(list, 1, 2), "caf\xc3\xa9");
        EXPECT_EQ(host.cellText(list, 1, 9), "");
        EXPECT_EQ(host.rowCount(list), 3);
        EXPECT_EQ(host.rowData(list, 3), 0u);

        // Rows of equal keys keep their order; the texts move with their rows.
        host.sortRows(list, [](std::uintptr_t a, std::uintptr_t b) {
            const auto ka = a / 20;
            const auto kb = b / 20;
            return ka < kb ? -1 : (ka > kb ? 1 : 0);
        });
        std::vector<std::uintptr_t> order;
        for (int row = 0; row < host.rowCount(list); ++row) order.push_back(host.rowData(list, row));
        EXPECT_EQ(order, (std::vector<std::uintptr_t>{10, 20, 30}));
        EXPECT_EQ(host.cellText(list, 0, 2), "caf\xc3\xa9");

        host.setCellSource(list, [](std::uintptr_t value, int column) {
            return std::to_string(value) + ":" + std::to_string(column);
        });
        EXPECT_EQ(host.cellText(list, 2, 1), "30:1");
        for (std::uintptr_t value = 100; value < 100100; ++value) host.insertRow(list, host.rowCount(list), value);
        EXPECT_EQ(host.rowCount(list), 100003);
        host.sortRows(list, [](std::uintptr_t a, std::uintptr_t b) { return a > b ? -1 : (a < b ? 1 : 0); });
        EXPECT_EQ(host.cellText(list, 0, 0), "100099:0");
        EXPECT_TRUE(host.selectedRows(list).empty());
        EXPECT_EQ(host.currentRow(list), -1);
        host.endDialog(1);
    };
    EXPECT_EQ(run(kContentDialogId, probe), 1);
}

// Files dropped as Explorer drops them: a DROPFILES block with wide paths, ending in an empty one.
HGLOBAL dropOf(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    const SIZE_T size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(header + 1));
    GlobalUnlock(memory);
    return memory;
}

TEST(Win32DialogHost, ADropHandsTheFirstDroppedPathToTheLogic) {
    Probe probe;
    probe.atInit = [](DialogHost&) {
        HWND dialog = FindWindowW(nullptr, L"Quillomar for Korvane - version 1.0 - 2003");
        ASSERT_NE(dialog, nullptr);
        PostMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({L"C:\\Jeux\\Caf\u00e9", L"C:\\b.pod"})), 0);
    };
    EXPECT_EQ(run(kPackerDialogId, probe), 2);
    EXPECT_EQ(probe.drops, (std::vector<std::string>{"C:\\Jeux\\Caf\xc3\xa9"}));
}

HWND contentList() {
    HWND dialog = FindWindowW(nullptr, L"POD content");
    return dialog == nullptr ? nullptr : GetDlgItem(dialog, viewer::kList);
}

// Fills the content dialog's list with a column and three rows.
void fillList(DialogHost& host) {
    host.insertColumn(viewer::kList, 0, "Name", 100);
    for (std::uintptr_t value = 1; value <= 3; ++value) host.insertRow(viewer::kList, 0, value);
    host.setCellSource(viewer::kList, [](std::uintptr_t value, int) { return "ROW" + std::to_string(value); });
}

TEST(Win32DialogHost, ListTakesEveryDroppedFileAndItsDeleteAndF2KeysAndEmpties) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        fillList(host);
        host.acceptListDrops(viewer::kList);
        HWND list = contentList();
        ASSERT_NE(list, nullptr);
        PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        PostMessageW(list, WM_KEYDOWN, VK_F2, 0);
        PostMessageW(list, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({L"C:\\Jeux\\Caf\u00e9", L"C:\\b.txt"})), 0);
        host.clearRows(viewer::kList);
        EXPECT_EQ(host.rowCount(viewer::kList), 0);
        fillList(host);
    };
    EXPECT_EQ(run(kContentDialogId, probe), 4);
    EXPECT_EQ(probe.keys, (std::vector<ListKey>{ListKey::Delete, ListKey::Rename}));
    EXPECT_EQ(probe.listDrops, (std::vector<std::string>{"C:\\Jeux\\Caf\xc3\xa9", "C:\\b.txt"}));
}

TEST(Win32DialogHost, RowEditorHoldsTheLogicsTextEnterAppliesItAndEscapeOnlyCancels) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        fillList(host);
        host.postMessage(kUserMessage + 1);
    };
    probe.atPosted = [&](DialogHost& host, int message) {
        HWND list = contentList();
        ASSERT_NE(list, nullptr);
        if (message == kUserMessage + 1) {
            host.editRowText(viewer::kList, 1, "B.PBM");
            HWND editor = ListView_GetEditControl(list);
            ASSERT_NE(editor, nullptr);
            wchar_t text[32] = {};
            GetWindowTextW(editor, text, 32);
            EXPECT_EQ(std::wstring(text), L"B.PBM");
            DWORD start = 0, end = 0;
            SendMessageW(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(end - start, 1u) << "the name without its type is selected";
            SetWindowTextW(editor, L"c.pbm");
            PostMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
        } else if (message == kUserMessage + 2) {
            host.editRowText(viewer::kList, 0, "ROW3");
            HWND editor = ListView_GetEditControl(list);
            ASSERT_NE(editor, nullptr);
            PostMessageW(editor, WM_KEYDOWN, VK_ESCAPE, 0);
            host.postMessage(kUserMessage + 3);
        } else {
            EXPECT_EQ(ListView_GetEditControl(list), nullptr);
            host.endDialog(6);
        }
    };
    probe.afterEdit = [](DialogHost& host) { host.postMessage(kUserMessage + 2); };
    EXPECT_EQ(run(kContentDialogId, probe), 6);
    EXPECT_EQ(probe.edited, (std::vector<std::pair<int, std::string>>{{1, "c.pbm"}}));
    EXPECT_TRUE(probe.commands.empty()) << "Enter and Escape were the editor's";
}

TEST(Win32DialogHost, ADialogEndedByItsInitialisationIsNeverShownAndRunsAChildFirst) {
    Probe child;
    child.atInit = [](DialogHost& host) { host.endDialog(5); };
    Probe probe;
    probe.atInit = [&](DialogHost& host) {
        EXPECT_EQ(host.runDialog(kContentDialogId, child), 5);
        EXPECT_EQ(host.runDialog(999, child), -1) << "no such template";
        host.endDialog(3);
    };
    EXPECT_EQ(run(kPackerDialogId, probe), 3);
}

// Filter box and preview pane ------------------------------------------------------------------

HWND controlOf(DialogHost& host, int id) { return dynamic_cast<DialogWindow&>(host).controlWindow(id); }

// The content dialog as its window sets it up: three rows taking drops, the accelerators Ctrl+F
// and F3, and filterText in the filter box. The test goes on at kUserMessage + 1, once it runs.
void setUpListAndFilter(DialogHost& host, const std::string& filterText) {
    fillList(host);
    host.acceptListDrops(viewer::kList);
    host.setAccelerators({{'F', true, viewer::kFilter}, {kKeyF3, false, viewer::kPreview}});
    host.setItemText(viewer::kFilter, filterText);
    host.postMessage(kUserMessage + 1);
}

// Typing in the filter box, F3 and Ctrl+F anywhere, Escape in the box and a move of the current
// row reach the logic as the user makes them, once the dialog runs.
TEST(Win32DialogHost, TypingAcceleratorsEscapeAndTheCurrentRowReachTheLogic) {
    Probe probe;
    probe.atInit = [](DialogHost& host) { setUpListAndFilter(host, "set by the logic"); };
    probe.atPosted = [&](DialogHost& host, int message) {
        HWND filter = controlOf(host, viewer::kFilter);
        HWND list = controlOf(host, viewer::kList);
        if (message == kUserMessage + 1) {
            EXPECT_TRUE(probe.edits.empty()) << "the logic's own text is not reported back";
            host.setFocusItem(viewer::kFilter);
            EXPECT_EQ(host.focusedItem(), viewer::kFilter);
            PostMessageW(filter, WM_CHAR, L'x', 0);
            PostMessageW(list, WM_KEYDOWN, VK_F3, 0);
            PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(filter, WM_KEYDOWN, VK_ESCAPE, 0);
            host.postMessage(kUserMessage + 2);
        } else if (message == kUserMessage + 2) {
            EXPECT_EQ(host.itemText(viewer::kFilter), "x") << "typing replaced the selected text";
            EXPECT_EQ(probe.edits, std::vector<int>{viewer::kFilter});
            EXPECT_EQ(probe.commands, (std::vector<int>{viewer::kPreview, kIdCancel}));
            EXPECT_FALSE(probe.currentRows.empty());
            // Ctrl held: the filter's command.
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            SetKeyboardState(keys);
            PostMessageW(list, WM_KEYDOWN, 'F', 0);
            host.postMessage(kUserMessage + 3);
        } else {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
            EXPECT_EQ(probe.commands.back(), viewer::kFilter);
            host.endDialog(1);
        }
    };
    EXPECT_EQ(run(kContentDialogId, probe), 1);
}

// The content window sets both: the list's own keys (Delete, F2) and the dialog's accelerators
// (F3, Ctrl+F) each reach the logic, Delete in the filter box erases its text, and Escape in the
// row editor only cancels it while the box holds text.
TEST(Win32DialogHost, ListKeysAcceleratorsAndTheRowEditorWorkSideBySide) {
    Probe probe;
    probe.atInit = [](DialogHost& host) { setUpListAndFilter(host, "art"); };
    probe.atPosted = [&](DialogHost& host, int message) {
        HWND filter = controlOf(host, viewer::kFilter);
        HWND list = controlOf(host, viewer::kList);
        if (message == kUserMessage + 1) {
            PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
            PostMessageW(list, WM_KEYDOWN, VK_F3, 0);
            PostMessageW(list, WM_KEYDOWN, VK_F2, 0);
            PostMessageW(filter, WM_KEYDOWN, VK_DELETE, 0);
            host.postMessage(kUserMessage + 2);
        } else if (message == kUserMessage + 2) {
            EXPECT_EQ(probe.keys, (std::vector<ListKey>{ListKey::Delete, ListKey::Rename}));
            EXPECT_EQ(probe.commands, std::vector<int>{viewer::kPreview});
            EXPECT_EQ(probe.edits, std::vector<int>{viewer::kFilter});
            host.editRowText(viewer::kList, 0, "ROW3");
            HWND editor = ListView_GetEditControl(list);
            ASSERT_NE(editor, nullptr);
            PostMessageW(editor, WM_KEYDOWN, VK_ESCAPE, 0);
            host.postMessage(kUserMessage + 3);
        } else {
            EXPECT_EQ(ListView_GetEditControl(list), nullptr);
            EXPECT_EQ(probe.commands, std::vector<int>{viewer::kPreview}) << "Escape was the editor's";
            EXPECT_TRUE(probe.edited.empty());
            host.endDialog(1);
        }
    };
    EXPECT_EQ(run(kContentDialogId, probe), 1);
}

// A 24-bit BMP of two pixels, red then blue, as the imaging component reads it.
std::vector<std::byte> twoPixelBmp() {
    const unsigned char bytes[] = {
        'B', 'M', 62,   0,    0,    0,    0, 0, 0,    0,    54, 0, 0, 0,  // file header
        40,  0,   0,    0,    2,    0,    0, 0, 1,    0,    0,  0, 1, 0, 24, 0, 0, 0, 0, 0,
        8,   0,   0,    0,    0x13, 0x0B, 0, 0, 0x13, 0x0B, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,  // info header
        0,   0,   0xFF, 0xFF, 0,    0,    0, 0};                                             // B G R, B G R, padding
    std::vector<std::byte> out;
    for (unsigned char b : bytes) out.push_back(std::byte{b});
    return out;
}

TEST(Win32DialogHost, PreviewPaneIsHiddenAtFirstTakesTheListsRightPartAndShowsEachKind) {
    Probe probe;
    probe.atInit = [](DialogHost& host) { host.postMessage(kUserMessage + 1); };
    probe.atPosted = [&](DialogHost& host, int) {
        HWND pane = controlOf(host, viewer::kPreview);
        HWND list = controlOf(host, viewer::kList);
        EXPECT_FALSE(host.isItemShown(viewer::kPreview));
        RECT wide{};
        GetWindowRect(list, &wide);
        host.showItem(viewer::kPreview, true);
        EXPECT_TRUE(host.isItemShown(viewer::kPreview));
        RECT narrow{};
        RECT paneRect{};
        GetWindowRect(list, &narrow);
        GetWindowRect(pane, &paneRect);
        EXPECT_LT(narrow.right, wide.right);
        EXPECT_LE(narrow.right, paneRect.left) << "beside the list, not over it";
        wchar_t name[32] = {};
        GetWindowTextW(pane, name, 32);
        EXPECT_STREQ(name, L"Preview") << "its accessible name";

        PaneContent text;
        text.kind = PaneContent::Kind::Text;
        text.text = "line one\nline two";
        host.setPaneContent(viewer::kPreview, text);
        EXPECT_EQ(paneState(pane).kind, PaneContent::Kind::Text);
        EXPECT_EQ(paneState(pane).text, "line one\nline two");

        PaneContent pixels;
        pixels.kind = PaneContent::Kind::Pixels;
        pixels.width = 3;
        pixels.height = 2;
        pixels.pixels.assign(6, 0xFF336699u);
        pixels.sizeFormat = "%1 \xC3\x97 %2 pixels";
        host.setPaneContent(viewer::kPreview, pixels);
        PaneState state = paneState(pane);
        EXPECT_EQ(state.kind, PaneContent::Kind::Pixels);
        EXPECT_EQ(state.caption, "3 \xC3\x97 2 pixels");
        EXPECT_EQ(state.shownSize.cx, 12) << "never beyond four times";
        EXPECT_EQ(state.shownSize.cy, 8);

        PaneContent bmp;
        bmp.kind = PaneContent::Kind::EncodedImage;
        bmp.encoded = twoPixelBmp();
        bmp.sizeFormat = "%1 x %2";
        bmp.failureText = "cannot be shown";
        host.setPaneContent(viewer::kPreview, bmp);
        state = paneState(pane);
        EXPECT_EQ(state.kind, PaneContent::Kind::Pixels);
        EXPECT_EQ(state.caption, "2 x 1");

        bmp.encoded.resize(20);  // cut short
        host.setPaneContent(viewer::kPreview, bmp);
        state = paneState(pane);
        EXPECT_EQ(state.kind, PaneContent::Kind::Message);
        EXPECT_EQ(state.text, "cannot be shown");

        host.showItem(viewer::kPreview, false);
        RECT back{};
        GetWindowRect(list, &back);
        EXPECT_EQ(back.right, wide.right);
        host.endDialog(1);
    };
    EXPECT_EQ(run(kContentDialogId, probe), 1);
}

TEST(Win32DialogHost, ClearedListHoldsNoRowsAndNoSelection) {
    Probe probe;
    probe.atInit = [](DialogHost& host) {
        host.insertColumn(viewer::kList, 0, "Name", 80);
        for (std::uintptr_t value = 1; value <= 5; ++value) host.insertRow(viewer::kList, 0, value);
        host.postMessage(kUserMessage + 1);
    };
    probe.atPosted = [&](DialogHost& host, int) {
        HWND list = controlOf(host, viewer::kList);
        ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(host.selectedRows(viewer::kList).size(), 5u);
        host.clearRows(viewer::kList);
        EXPECT_EQ(host.rowCount(viewer::kList), 0);
        EXPECT_TRUE(host.selectedRows(viewer::kList).empty());
        host.insertRow(viewer::kList, 0, 9);
        EXPECT_EQ(host.rowData(viewer::kList, 0), 9u);
        host.endDialog(1);
    };
    EXPECT_EQ(run(kContentDialogId, probe), 1);
}

}  // namespace
}  // namespace quillomar::win32
