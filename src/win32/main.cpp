// The window program on Windows: the packer window, then the switch phase, whose status is the
// exit code.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "platform/codepage.h"
#include "platform/outputfile.h"
#include "platform/tempdir.h"
#include "win32/dialogwindow.h"
#include "win32/messagebox.h"
#include "win32/widetext.h"

namespace {

using namespace quillomar;

// The arguments of the wide command line, as UTF-8.
std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(win32::toUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

// The program's texts follow the user's language for the user interface: French for any French,
// else the neutral texts.
Language userInterfaceLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_FRENCH ? Language::French : Language::Neutral;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    setCurrentLanguage(userInterfaceLanguage());
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    // However the program ends, its temporary files and temporary copies go with it.
    std::atexit([] {
        removeRegisteredTemporaries();
        removeTemporaryFolders(TemporaryFoldersOf::ThisProcess);
    });

    if (std::optional<int> codePage = codePageFromEnvironment()) setArchiveCodePage(*codePage);

    win32::BoxMessageSink messages;
    MessageSink* previous = setMessageSink(&messages);

    const int status = runWindowProgram(commandLineArguments(), [](PackerWindow& window) {
        const DialogTemplate* dialog = findDialogTemplate(kPackerDialogId);
        if (dialog == nullptr) return;
        // The owner is the window active at this moment: at start-up, none.
        win32::DialogWindow packer(*dialog, currentLanguage(), window, GetActiveWindow());
        packer.run();
    });

    setMessageSink(previous);
    return status;
}
