// The window program: the packer window, then the switch phase, whose status is the exit code.

#include <QApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdlib>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "platform/codepage.h"
#include "platform/outputfile.h"
#include "platform/syserror.h"
#include "platform/tempdir.h"
#include "platform/termination.h"
#include "ui/dialogwindow.h"
#include "ui/messagebox.h"
#include "ui/qttranslations.h"
#include "ui/texttrace.h"

namespace {

using namespace quillomar;

// The arguments while the toolkit connects to the display; null before and after.
const std::vector<std::string>* connectingArguments = nullptr;
QtMessageHandler previousMessageHandler = nullptr;

// Whether there is a display to connect to: one named in DISPLAY or WAYLAND_DISPLAY, or a
// platform the user named in QT_QPA_PLATFORM (offscreen, vnc and the like need none).
bool displayNamed() {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

// Without a display the window cannot be shown, as when its template is missing: the program
// says so and goes on to the switch phase, whose status is the exit code.
int runWithoutWindow(const std::vector<std::string>& arguments) {
    std::fputs(currentLanguage() == Language::French
                   ? "Quillomar : aucun affichage n'est disponible, la fen\xc3\xaatre n'est pas ouverte.\n"
                   : "Quillomar: no display is available, so the window is not shown.\n",
               stderr);
    return runWindowProgram(arguments, [](PackerWindow&) {});
}

// The toolkit ends the process when it cannot reach the display it was given; the switch phase
// runs all the same, and the process ends with its status.
void onToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && connectingArguments != nullptr) {
        const int status = runWithoutWindow(*connectingArguments);
        std::fflush(nullptr);
        std::_Exit(status);
    }
    previousMessageHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is the program's own: the toolkit is given none of it to interpret.
    const std::vector<std::string> arguments(argv, argv + argc);
    // The system's error texts in the language of the program's own, set before the toolkit
    // starts any thread.
    setSystemErrorLanguage(currentLanguage() == Language::French ? "fr" : "");
    if (!displayNamed()) return runWithoutWindow(arguments);

    connectingArguments = &arguments;
    previousMessageHandler = qInstallMessageHandler(onToolkitMessage);
    int toolkitArgc = 1;
    QApplication application(toolkitArgc, argv);
    connectingArguments = nullptr;
    QApplication::setApplicationName(QString::fromStdString(loadString(kMsgProgramName)));
    installQtTranslations(currentLanguage());
    installTextTraceFromEnvironment(application);

    // Whatever ends the program - a logout's SIGTERM or SIGHUP, the X connection lost (the toolkit
    // then exits) - its temporary files and temporary copies go with it.
    ignoreFileSizeSignal();
    std::atexit([] {
        removeRegisteredTemporaries();
        removeTemporaryFolders(TemporaryFoldersOf::ThisProcess);
    });
    const int terminationFd = notifyTerminationThroughPipe();
    QSocketNotifier termination(terminationFd, QSocketNotifier::Read);
    termination.setEnabled(terminationFd >= 0);
    QObject::connect(&termination, &QSocketNotifier::activated, [terminationFd] {
        char signal = 0;
        if (::read(terminationFd, &signal, 1) != 1) return;
        removeTemporaryFolders(TemporaryFoldersOf::ThisProcess);
        finishTermination("quillomar", signal);
    });

    if (std::optional<int> codePage = codePageFromEnvironment()) setArchiveCodePage(*codePage);

    BoxMessageSink messages;
    MessageSink* previous = setMessageSink(&messages);

    const int status = runWindowProgram(arguments, [](PackerWindow& window) {
        const DialogTemplate* dialog = findDialogTemplate(kPackerDialogId);
        if (dialog == nullptr) return;
        // The owner is the window active at this moment: at start-up, none.
        DialogWindow packer(*dialog, currentLanguage(), window, QApplication::activeWindow());
        packer.run();
    });

    setMessageSink(previous);
    return status;
}
