// The window program: the packer window, then the switch phase, whose status is the exit code.

#include <QApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdlib>

#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/startup.h"
#include "app/stringtable.h"
#include "platform/codepage.h"
#include "platform/syserror.h"
#include "platform/outputfile.h"
#include "platform/tempdir.h"
#include "platform/termination.h"
#include "ui/dialogwindow.h"
#include "ui/messagebox.h"
#include "ui/qttranslations.h"

int main(int argc, char** argv) {
    using namespace quillomar;

    // The command line is the program's own: the toolkit is given none of it to interpret.
    const std::vector<std::string> arguments(argv, argv + argc);
    // The system's error texts in the language of the program's own, set before the toolkit
    // starts any thread.
    setSystemErrorLanguage(currentLanguage() == Language::French ? "fr" : "");
    int toolkitArgc = 1;
    QApplication application(toolkitArgc, argv);
    QApplication::setApplicationName(QString::fromStdString(loadString(kMsgProgramName)));
    installQtTranslations(currentLanguage());

    // Whatever ends the program - a logout's SIGTERM or SIGHUP, the X connection lost (the toolkit
    // then exits) - its temporary files and temporary copies go with it.
    ignoreFileSizeSignal();
    std::atexit([] {
        removeRegisteredTemporaries();
        removeTemporaryFolders(true);
    });
    const int terminationFd = notifyTerminationThroughPipe();
    QSocketNotifier termination(terminationFd, QSocketNotifier::Read);
    termination.setEnabled(terminationFd >= 0);
    QObject::connect(&termination, &QSocketNotifier::activated, [terminationFd] {
        char signal = 0;
        if (::read(terminationFd, &signal, 1) != 1) return;
        removeTemporaryFolders(true);
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
