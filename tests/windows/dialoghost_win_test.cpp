// The Win32 dialog host against real controls: the logic's calls reach the dialog manager's
// controls and come back as they went, through UTF-16 and the virtual list. Each case runs a
// dialog whose logic does its checks from the initialisation, or from a message it posted, and
// then ends the dialog: nothing waits for a user.

#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "packer/packerwindow.h"
#include "viewer/contentwindow.h"
#include "win32/dialogwindow.h"

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
    void onCommand(int) override {}
    std::vector<std::string> drops;
    void onDrop(const std::string& path) override {
        drops.push_back(path);
        host->endDialog(2);
    }
    void onPostedMessage(int message) override {
        posted.push_back(message);
        if (atPosted) atPosted(*host, message);
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
        bool translated = false;
        EXPECT_EQ(host.itemInt(packer::kPriority, &translated), -1000);
        EXPECT_TRUE(translated);

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

}  // namespace
}  // namespace quillomar::win32
