// The real packer dialog on the offscreen platform: drops of real folders and archives, the
// keyboard, both languages, input while the logic works, the progress bar and the message box.

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

#include "app/dialogtemplate.h"
#include "dialog/callguard.h"
#include "packer/packerwindow.h"
#include "testutil.h"
#include "ui/dialogwindow.h"
#include "ui/messagebox.h"
#include "ui/qttranslations.h"
#include "windowdriver.h"

using namespace quillomar;
using namespace quillomar::packer;
using quillomar::test::dropUrls;
using quillomar::test::fileUrl;

namespace {

// Runs action once a visible top-level widget of type W is on screen.
template <typename W>
void whenShown(std::function<void(W*)> action) {
    test::whenFound(
        []() -> QWidget* {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = qobject_cast<W*>(widget); found != nullptr && found->isVisible()) return found;
            }
            return nullptr;
        },
        [action](QWidget* found) {
            if (QTest::qWaitForWindowExposed(found)) action(static_cast<W*>(found));
        });
}

QString shown(const DialogWindow& dialog, int id) { return QString::fromStdString(dialog.itemText(id)); }

// Logic that records what reaches it and can run a nested action inside a command.
class RecordingLogic : public DialogHandler {
public:
    void onInit(DialogHost& dialogHost) override { host = &dialogHost; }
    void onCommand(int id) override {
        commands.push_back(id);
        if (std::function<void()> once = std::exchange(duringCommand, nullptr)) once();
    }
    void onDrop(const std::string& path) override { drops.push_back(path); }
    void onPostedMessage(int message) override { posted.push_back(message); }

    DialogHost* host = nullptr;
    std::vector<int> commands;
    std::vector<std::string> drops;
    std::vector<int> posted;
    std::function<void()> duringCommand;
};

// Counts the paints a widget receives.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

}  // namespace

class DialogWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::RecordingSink> sink;
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<PackerWindow> logic;
    std::unique_ptr<DialogWindow> dialog;

    void openPacker(Language language = Language::Neutral) {
        logic = std::make_unique<PackerWindow>(std::string_view{});
        dialog = std::make_unique<DialogWindow>(*findDialogTemplate(kPackerDialogId), language, *logic);
        dialog->initialize();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    std::string makeSource() {
        const std::string folder = *dir / "source";
        test::writeFile(folder + "/one.txt", std::string(3000, '1'));
        test::writeFile(folder + "/deep/two.txt", std::string(2000, '2'));
        return folder;
    }

private slots:
    void init() {
        sink = std::make_unique<test::RecordingSink>();
        dir = std::make_unique<test::TempDir>();
    }

    void cleanup() {
        dialog.reset();
        logic.reset();
        dir.reset();
        sink.reset();
    }

    void droppedFolderFillsTheBoxesAndGenerateWritesTheArchive() {
        openPacker();
        const std::string folder = makeSource();
        QVERIFY(dropUrls(*dialog, {fileUrl(folder)}));
        // The logic's texts reach the labels and edit boxes (what they are is the logic tests' matter).
        QCOMPARE(shown(*dialog, kFileCount), QStringLiteral("2"));
        auto* name = qobject_cast<QLineEdit*>(dialog->control(kName));
        QVERIFY(name != nullptr);
        QCOMPARE(name->text(), QStringLiteral("my_pod_name"));
        QCOMPARE(dialog->progressState(kProgress).position, 0);  // emptied once the drop was handled

        qobject_cast<QLineEdit*>(dialog->control(kAuthor))->setText(QStringLiteral("Zoé"));
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->control(kGenerate)), Qt::LeftButton);
        QVERIFY(dialog->control(kGenerate)->isEnabled());
        PodArchive archive;
        QCOMPARE(archive.open(folder + "/my_pod_name.pod"), 1);
        QCOMPARE(QString::fromStdString(archive.author()), QStringLiteral("Zoé"));
    }

    void folderNamedInLatin1IsScannedAndPackedUnderItsOwnBytes() {
        openPacker();
        const std::string folder = *dir / "caf\xE9";  // no valid UTF-8: a file manager sends %E9
        test::writeFile(folder + "/one.txt", "1");
        test::writeFile(folder + "/deep/two.txt", "22");
        const QUrl url = QUrl::fromEncoded("file://" + QByteArray::fromStdString(folder).toPercentEncoding("/"));
        QVERIFY(dropUrls(*dialog, {url}));
        QCOMPARE(shown(*dialog, kFileCount), QStringLiteral("2"));
        QCOMPARE(shown(*dialog, kSubfolders), QStringLiteral("1"));
        QCOMPARE(shown(*dialog, kFolder), QString::fromStdString(dir->path()) + QStringLiteral("/caf\uFFFD"));
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->control(kGenerate)), Qt::LeftButton);
        PodArchive archive;
        QCOMPARE(archive.open(folder + "/my_pod_name.pod"), 1);
        QCOMPARE(archive.header().entryCount, 2u);
        QVERIFY(sink->systemErrors.empty());
    }

    void droppedArchiveShowsItsHeaderAndOtherDropsAreRefused() {
        openPacker();
        const std::string notes = *dir / "notes.txt";
        test::writeFile(notes, "x");
        QVERIFY(dropUrls(*dialog, {fileUrl(notes)}));
        QCOMPARE(sink->ids, std::vector<int>{kMsgNotFolderOrArchive});
        QVERIFY(!dropUrls(*dialog, {QUrl(QStringLiteral("https://example.org/a.pod"))}));

        const std::string path = *dir / "mod.pod";
        test::writeFile(path, test::layOutPod3({{"A.TXT", "abc"}}, "Desc", "Auth", "Copy", 3));
        // Only the first dropped item counts.
        QVERIFY(dropUrls(*dialog, {fileUrl(path), fileUrl(makeSource())}));
        QCOMPARE(shown(*dialog, kVersion), QStringLiteral("3"));
        QCOMPARE(qobject_cast<QLineEdit*>(dialog->control(kAuthor))->text(), QStringLiteral("Auth"));
        QCOMPARE(shown(*dialog, kName), QString::fromStdString(path));
        QVERIFY(dialog->control(kShowContent)->isEnabled());
        QVERIFY(!dialog->control(kAuthor)->isEnabled());
        QCOMPARE(sink->ids.size(), 1u);
    }

    void escapeAndCloseLeaveTheWindowOpenAndEnterInTheNameBoxEndsIt() {
        openPacker();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        dialog->close();
        QVERIFY(dialog->isVisible());
        QVERIFY(dropUrls(*dialog, {fileUrl(makeSource())}));
        QWidget* name = dialog->control(kName);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), 1);
    }

    void bothLanguagesHaveTheirTextsAndLabelWidths() {
        openPacker(Language::French);
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(32, 32)));
        QCOMPARE(qobject_cast<QPushButton*>(dialog->control(kQuit))->text(), QStringLiteral("Fermer"));
        QCOMPARE(qobject_cast<QCheckBox*>(dialog->control(kWriteLog))->text(),
                 QStringLiteral("Créer une trace de la liste des fichiers présents dans le répertoire à poder"));
        PackerWindow neutralLogic{std::string_view{}};
        DialogWindow neutral(*findDialogTemplate(kPackerDialogId), Language::Neutral, neutralLogic);
        QCOMPARE(neutral.size(), neutral.toPixels({0, 0, 328, 250}).size());
        // A label is as wide as its units in the dialog's language, or wider where the desktop's
        // face needs it for the text.
        struct Label {
            const DialogWindow* window;
            QString text;
            int units;
        };
        for (const Label& label : {Label{dialog.get(), QStringLiteral("Nombre de fichiers"), 60},
                                   Label{dialog.get(), QStringLiteral("Sous répertoires"), 52},
                                   Label{&neutral, QStringLiteral("Number of file"), 44},
                                   Label{&neutral, QStringLiteral("Sub directories"), 48}}) {
            const QList<QLabel*> all = label.window->findChildren<QLabel*>();
            const auto found = std::find_if(all.begin(), all.end(), [&](QLabel* l) { return l->text() == label.text; });
            QVERIFY2(found != all.end(), qPrintable(label.text));
            QCOMPARE((*found)->width(), std::max(label.window->toPixels({0, 0, label.units, 8}).width(),
                                                 label.window->fontMetrics().horizontalAdvance(label.text) + 1));
        }
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillomar pour Korvane - version 1.0 - 2003"));
        QCOMPARE(neutral.windowTitle(), QStringLiteral("Quillomar for Korvane - version 1.0 - 2003"));
    }

    void nothingReachesTheLogicWhileItWorks() {
        RecordingLogic recorder;
        DialogWindow window(*findDialogTemplate(kPackerDialogId), Language::Neutral, recorder);
        window.initialize();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.enableItem(kGenerate, true);
        window.enableItem(kShowContent, true);
        const std::string folder = makeSource();

        recorder.duringCommand = [&] {
            recorder.host->postMessage(kUserMessage + 7);
            QCoreApplication::processEvents();
            QVERIFY(!dropUrls(window, {fileUrl(folder)}));
            qobject_cast<QPushButton*>(window.control(kShowContent))->click();
            QCOMPARE(recorder.posted.size(), 0u);  // waits until the command has returned
        };
        qobject_cast<QPushButton*>(window.control(kGenerate))->click();
        QCoreApplication::processEvents();
        QCOMPARE(recorder.commands, std::vector<int>{kGenerate});
        QVERIFY(recorder.drops.empty());
        QCOMPARE(recorder.posted, std::vector<int>{kUserMessage + 7});

        QVERIFY(dropUrls(window, {fileUrl(folder)}));
        QCOMPARE(recorder.drops, std::vector<std::string>{folder});
    }

    // A click and a key press made by the X server while a command works reach the program then,
    // are held back by the repaints, and must not be acted on once the work has returned.
    // Input made before the work's repaints is eaten by them; input made after the last one
    // waits in the queue until the call returns, and is dropped then.
    void inputMadeWhileWorkRunsIsDroppedNotReplayed_data() {
        QTest::addColumn<bool>("afterLastRepaint");
        QTest::newRow("input, then the work's repaints") << false;
        QTest::newRow("the work's repaints, then input") << true;
    }

    void inputMadeWhileWorkRunsIsDroppedNotReplayed() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server: run under xvfb-run with xcb");
        QFETCH(bool, afterLastRepaint);
        RecordingLogic recorder;
        DialogWindow window(*findDialogTemplate(kPackerDialogId), Language::Neutral, recorder);
        window.initialize();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.enableItem(kGenerate, true);
        auto* generate = qobject_cast<QPushButton*>(window.control(kGenerate));
        const QPoint at = generate->mapToGlobal(generate->rect().center());
        const QStringList input = {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                   QStringLiteral("click"),     QStringLiteral("1"),     QStringLiteral("key"),
                                   QStringLiteral("Escape")};
        recorder.duringCommand = [&] {
            if (!afterLastRepaint) QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), input), 0);
            // The work goes on and repaints the window.
            window.setProgressRange(kProgress, 0, 10);
            for (int i = 0; i < 10; ++i) {
                QThread::msleep(50);
                window.stepProgress(kProgress);
            }
            if (afterLastRepaint) {
                QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), input), 0);
                QThread::msleep(200);  // the input reaches the program's queue before the work ends
            }
        };
        generate->click();
        QTest::qWait(500);  // what was held back would have been delivered by now
        QCOMPARE(recorder.commands, std::vector<int>{kGenerate});
        // Input made after the work still counts.
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}), 0);
        QTRY_COMPARE(recorder.commands, (std::vector<int>{kGenerate, kIdCancel}));
    }

    void progressBarStartsOverPastItsTop() {
        openPacker();
        dialog->setProgressRange(kProgress, 0, 100);
        for (int i = 0; i < 100; ++i) dialog->stepProgress(kProgress);
        QCOMPARE(dialog->progressState(kProgress).position, 100);
        dialog->stepProgress(kProgress);
        QCOMPARE(dialog->progressState(kProgress).position, 1);
        // A new range keeps the position inside it.
        dialog->setProgressRange(kProgress, 10, 20);
        QCOMPARE(dialog->progressState(kProgress).position, 10);
        dialog->setProgressPos(kProgress, 99);
        QCOMPARE(dialog->progressState(kProgress).position, 20);
    }

    // Each paint waits for the display server to take the one before, so the bar is painted with
    // the window when the event loop runs, not at each position it is given, and long work lets
    // the window repaint at most once per interval, yet still shows the bar moving.
    void progressBarIsPaintedByTheEventLoopNotAtEachChange() {
        openPacker();
        auto* bar = qobject_cast<QProgressBar*>(dialog->control(kProgress));
        QVERIFY(bar != nullptr);
        QCoreApplication::processEvents();
        PaintCounter paints(*bar);
        dialog->setProgressRange(kProgress, 0, 1000);
        for (int position : {100, 400, 700}) dialog->setProgressPos(kProgress, position);
        QCOMPARE(paints.count, 0);
        QCOMPARE(bar->value(), 700);
        QTRY_VERIFY(paints.count > 0);

        paints.count = 0;
        constexpr qint64 workMs = 500;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < workMs) dialog->stepProgress(kProgress);
        const qint64 most = workMs / CallGuard::kPumpInterval.count() + 2;
        QVERIFY2(paints.count >= 2, qPrintable(QString::number(paints.count)));
        QVERIFY2(paints.count <= most, qPrintable(QString::number(paints.count)));
    }

    void messageBoxLeavesTheWindowBelowUsableWhileTheGuardTurnsItsInputAway() {
        RecordingLogic recorder;
        DialogWindow window(*findDialogTemplate(kPackerDialogId), Language::Neutral, recorder);
        BoxMessageSink boxes;
        MessageSink* previous = setMessageSink(&boxes);
        auto* quit = qobject_cast<QPushButton*>(window.control(kQuit));
        QSignalSpy quitClicks(quit, &QPushButton::clicked);
        int boxesSeen = 0;
        bool answeredByClick = false;

        recorder.duringCommand = [&] { showStringMessage(kMsgNotFolderOrArchive); };
        whenShown<QMessageBox>([&](QMessageBox* box) {
            ++boxesSeen;
            // An ownerless warning with the program's name as its caption and OK alone.
            QCOMPARE(box->text(), QStringLiteral("Not a directory or a POD file drop !"));
            QVERIFY(box->parent() == nullptr);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->windowTitle(), QStringLiteral("Quillomar"));
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            // A click on the window below, delivered as the window system delivers it.
            const QPoint at = quit->mapTo(&window, quit->rect().center());
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
            // The box itself takes its answer although the window below runs modally.
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, ok->mapTo(box, ok->rect().center()));
            answeredByClick = !box->isVisible();
            if (box->isVisible()) box->done(0);
        });
        QTimer::singleShot(0, &window, [&] {
            window.enableItem(kGenerate, true);
            qobject_cast<QPushButton*>(window.control(kGenerate))->click();
            // The box has been answered: the command is over.
            QCOMPARE(boxesSeen, 1);
            window.done(5);
        });
        QCOMPARE(window.run(), 5);
        setMessageSink(previous);
        QVERIFY(answeredByClick);
        QCOMPARE(quitClicks.count(), 1);                           // the window took the click
        QCOMPARE(recorder.commands, std::vector<int>{kGenerate});  // the logic did not
    }

    void folderPickerOpensAtHomeInTheProgramsLanguage_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<QString>("lookIn");
        QTest::newRow("French") << Language::French << QStringLiteral("&Choisir") << QStringLiteral("Voir dans :");
        QTest::newRow("Neutral") << Language::Neutral << QStringLiteral("&Choose") << QStringLiteral("Look in:");
    }

    void folderPickerOpensAtHomeInTheProgramsLanguage() {
        QFETCH(Language, language);
        QFETCH(QString, choose);
        QFETCH(QString, lookIn);
        const QByteArray home = QByteArray::fromStdString(*dir / "home");
        test::makeFolder(home.toStdString());
        test::makeFolder(*dir / "elsewhere");
        const QString oldCurrent = QDir::currentPath();
        test::ScopedEnv homeDir("HOME", home.constData());
        QDir::setCurrent(QString::fromStdString(*dir / "elsewhere"));
        QVERIFY(installQtTranslations(language));
        openPacker(language);

        QString shownFolder;
        QString shownChoose;
        QString shownLookIn;
        whenShown<QFileDialog>([&](QFileDialog* picker) {
            shownFolder = picker->directory().absolutePath();
            if (auto* buttons = picker->findChild<QDialogButtonBox*>()) {
                if (QPushButton* accept = buttons->button(QDialogButtonBox::Open)) shownChoose = accept->text();
            }
            if (auto* label = picker->findChild<QLabel*>(QStringLiteral("lookInLabel"))) shownLookIn = label->text();
            picker->reject();
        });
        const std::optional<std::string> chosen = dialog->pickFolder("Title");

        installQtTranslations(Language::Neutral);
        QDir::setCurrent(oldCurrent);
        QVERIFY(!chosen);
        QCOMPARE(shownFolder, QString::fromUtf8(home));
        QCOMPARE(shownChoose, choose);
        QCOMPARE(shownLookIn, lookIn);
    }

    // The desktop's "open" with the real xdg-utils, in a desktop environment of the test's own:
    // no program for a type gives false at once (the content window then shows message 105);
    // with a program, it is started with the file.
    void desktopOpensAFileOnlyWithAProgramForItsType_data() {
        QTest::addColumn<bool>("associated");
        QTest::newRow("NoProgramForItsType") << false;
        QTest::newRow("DefaultProgramForItsType") << true;
    }

    void desktopOpensAFileOnlyWithAProgramForItsType() {
        QFETCH(bool, associated);
        const std::string root = dir->path();
        const std::string viewer = root + "/viewer.sh";
        const std::string marker = root + "/opened";
        test::writeFile(viewer, "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker + "'\n");
        ::chmod(viewer.c_str(), 0755);
        test::makeFolder(root + "/data/applications");
        test::makeFolder(root + "/config");
        test::makeFolder(root + "/system");
        test::makeFolder(root + "/etc");
        if (associated) {
            test::writeFile(
                root + "/data/applications/test-viewer.desktop",
                "[Desktop Entry]\nType=Application\nName=Test viewer\nExec=" + viewer + " %f\nMimeType=text/plain;\n");
            test::writeFile(root + "/config/mimeapps.list", "[Default Applications]\ntext/plain=test-viewer.desktop\n");
        }
        const std::string copy = root + "/README.TXT";
        test::writeFile(copy, "Read me.\n");

        // The desktop of this run only: the test's folders, no desktop, session or browser of the
        // machine's, and a display (xdg-open looks for programs by type only with one).
        const std::string data = root + "/data", config = root + "/config", system = root + "/system",
                          etc = root + "/etc";
        const std::pair<const char*, const char*> settings[] = {{"XDG_DATA_HOME", data.c_str()},
                                                                {"XDG_CONFIG_HOME", config.c_str()},
                                                                {"XDG_DATA_DIRS", system.c_str()},
                                                                {"XDG_CONFIG_DIRS", etc.c_str()},
                                                                {"XDG_CURRENT_DESKTOP", nullptr},
                                                                {"DESKTOP_SESSION", nullptr},
                                                                {"BROWSER", nullptr},
                                                                {"DISPLAY", ":99"}};
        std::deque<test::ScopedEnv> environment;
        for (const auto& [name, value] : settings) environment.emplace_back(name, value);

        openPacker();
        const bool opened = dialog->openWithDesktop(copy);
        if (opened) QTRY_VERIFY_WITH_TIMEOUT(test::exists(marker), 10000);
        QCOMPARE(opened, associated);
        if (associated) QCOMPARE(QString::fromStdString(test::readFile(marker)), QString::fromStdString(copy));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomar"));
    DialogWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogwindow_test.moc"
