// The real dialogs on the offscreen platform: drops of real folders and archives, the keyboard,
// both languages, the progress bar, the list view and the message box.

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <memory>

#include "app/dialogtemplate.h"
#include "packer/packerwindow.h"
#include "ui/dialogwindow.h"
#include "ui/listview.h"
#include "ui/messagebox.h"
#include "testutil.h"

using namespace quillomar;
using namespace quillomar::packer;

namespace {

// Drops urls on the dialog the way the window system delivers a drop, then lets the queued
// handling run.
bool dropUrls(DialogWindow& dialog, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF at(dialog.width() / 2.0, dialog.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &drop);
    QCoreApplication::processEvents();  // the drop's handling
    QCoreApplication::processEvents();  // what that handling posted
    return drop.isAccepted();
}

QUrl fileUrl(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

QString shown(const DialogWindow& dialog, int id) { return QString::fromStdString(dialog.itemText(id)); }

// Logic that records what reaches it and can run a nested action inside a command.
class RecordingLogic : public DialogHandler {
public:
    void onInit(DialogHost& dialogHost) override { host = &dialogHost; }
    void onCommand(int id) override {
        commands.push_back(id);
        if (duringCommand) {
            std::function<void()> once = std::move(duringCommand);
            duringCommand = nullptr;
            once();
        }
    }
    void onDrop(const std::string& path) override { drops.push_back(path); }
    void onPostedMessage(int message) override { posted.push_back(message); }
    void onItemActivate(int listId, int row) override { activated.emplace_back(listId, row); }
    void onColumnClick(int listId, int column) override { columns.emplace_back(listId, column); }

    DialogHost* host = nullptr;
    std::vector<int> commands;
    std::vector<std::string> drops;
    std::vector<int> posted;
    std::vector<std::pair<int, int>> activated;
    std::vector<std::pair<int, int>> columns;
    std::function<void()> duringCommand;
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

    void droppedFolderFillsTheStatistics() {
        openPacker();
        QVERIFY(dropUrls(*dialog, {fileUrl(makeSource())}));
        QCOMPARE(shown(*dialog, kFileCount), QStringLiteral("2"));
        QCOMPARE(shown(*dialog, kTotalKilobytes), QStringLiteral("4"));
        QCOMPARE(shown(*dialog, kSubfolders), QStringLiteral("1"));
        QCOMPARE(shown(*dialog, kVersion), QStringLiteral("3"));
        auto* name = qobject_cast<QLineEdit*>(dialog->control(kName));
        QVERIFY(name != nullptr);
        QCOMPARE(name->text(), QStringLiteral("my_pod_name"));
        QVERIFY(name->isEnabled());
        QVERIFY(dialog->control(kGenerate)->isEnabled());
        QVERIFY(!dialog->control(kShowContent)->isEnabled());
        QCOMPARE(dialog->progressState(kProgress).position, 0);  // emptied once the drop was handled
    }

    void generateFromTheDialogWritesTheArchive() {
        openPacker();
        const std::string folder = makeSource();
        QVERIFY(dropUrls(*dialog, {fileUrl(folder)}));
        qobject_cast<QLineEdit*>(dialog->control(kAuthor))->setText(QStringLiteral("Zoé"));
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->control(kGenerate)), Qt::LeftButton);
        QVERIFY(test::exists(folder + "/my_pod_name.pod"));
        QCOMPARE(dialog->progressState(kProgress).position, 2);
        QCOMPARE(dialog->progressState(kProgress).high, 2);
        QVERIFY(dialog->control(kGenerate)->isEnabled());
        PodArchive archive;
        QCOMPARE(archive.open(folder + "/my_pod_name.pod"), 1);
        QCOMPARE(QString::fromStdString(archive.author()), QStringLiteral("Zoé"));
    }

    void droppedArchiveShowsItsHeader() {
        openPacker();
        const std::string path = *dir / "mod.pod";
        test::writeFile(path, test::layOutPod3({{"A.TXT", "abc"}}, "Desc", "Auth", "Copy", 3));
        // Only the first dropped item counts.
        QVERIFY(dropUrls(*dialog, {fileUrl(path), fileUrl(makeSource())}));
        QCOMPARE(shown(*dialog, kVersion), QStringLiteral("3"));
        QCOMPARE(qobject_cast<QLineEdit*>(dialog->control(kAuthor))->text(), QStringLiteral("Auth"));
        QCOMPARE(shown(*dialog, kPriority), QStringLiteral("3"));
        QCOMPARE(shown(*dialog, kName), QString::fromStdString(path));
        QCOMPARE(shown(*dialog, kFolder), QString());
        QVERIFY(dialog->control(kShowContent)->isEnabled());
        QVERIFY(!dialog->control(kAuthor)->isEnabled());
        QVERIFY(sink->ids.empty());
    }

    void dropOfSomethingElseIsRefused() {
        openPacker();
        const std::string path = *dir / "notes.txt";
        test::writeFile(path, "x");
        QVERIFY(dropUrls(*dialog, {fileUrl(path)}));
        QCOMPARE(sink->ids, std::vector<int>{kMsgNotFolderOrArchive});
        QVERIFY(!dropUrls(*dialog, {QUrl(QStringLiteral("https://example.org/a.pod"))}));
    }

    void enterInTheNameBoxEndsTheWindow() {
        openPacker();
        QVERIFY(dropUrls(*dialog, {fileUrl(makeSource())}));
        QWidget* name = dialog->control(kName);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), 1);
    }

    void escapeAndCloseLeaveTheWindowOpen() {
        openPacker();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        dialog->close();
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->control(kQuit)), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    }

    void frenchDialogHasFrenchTextsAndWidths() {
        openPacker(Language::French);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillomar pour Korvane - version 1.0 - 2003"));
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(32, 32)));
        QCOMPARE(qobject_cast<QPushButton*>(dialog->control(kQuit))->text(), QStringLiteral("Fermer"));
        QCOMPARE(qobject_cast<QCheckBox*>(dialog->control(kWriteLog))->text(),
                 QStringLiteral("Créer une trace de la liste des fichiers présents dans le répertoire à poder"));
        auto labelWidth = [](const DialogWindow& d, const QString& text) {
            for (QLabel* label : d.findChildren<QLabel*>()) {
                if (label->text() == text) return label->width();
            }
            return -1;
        };
        // The copy's width in dialog units, or wider where the desktop's face needs it for the text.
        auto expectedWidth = [](const DialogWindow& d, int units, const QString& text) {
            return std::max(d.toPixels({0, 0, units, 8}).width(), d.fontMetrics().horizontalAdvance(text) + 1);
        };
        QCOMPARE(labelWidth(*dialog, QStringLiteral("Nombre de fichiers")),
                 expectedWidth(*dialog, 60, QStringLiteral("Nombre de fichiers")));
        QCOMPARE(labelWidth(*dialog, QStringLiteral("Sous répertoires")),
                 expectedWidth(*dialog, 52, QStringLiteral("Sous répertoires")));

        PackerWindow neutralLogic{std::string_view{}};
        DialogWindow neutral(*findDialogTemplate(kPackerDialogId), Language::Neutral, neutralLogic);
        QCOMPARE(neutral.windowTitle(), QStringLiteral("Quillomar for Korvane - version 1.0 - 2003"));
        QCOMPARE(labelWidth(neutral, QStringLiteral("Number of file")),
                 expectedWidth(neutral, 44, QStringLiteral("Number of file")));
        QCOMPARE(labelWidth(neutral, QStringLiteral("Sub directories")),
                 expectedWidth(neutral, 48, QStringLiteral("Sub directories")));
        QCOMPARE(neutral.size(), neutral.toPixels({0, 0, 328, 250}).size());
    }

    void numberBoxesKeepTheirWholeText() {
        openPacker();
        const std::string wide(200, '9');
        dialog->setItemText(kFileCount, wide);
        QCOMPARE(dialog->itemText(kFileCount), wide);
        dialog->setItemInt(kFileCount, -12);
        QCOMPARE(dialog->itemInt(kFileCount), -12);
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

    void listViewRowsSortAndNotify() {
        RecordingLogic recorder;
        DialogWindow window(*findDialogTemplate(kContentDialogId), Language::French, recorder);
        window.initialize();
        QCOMPARE(window.windowTitle(), QStringLiteral("Liste des fichiers POD"));
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(window.insertColumn(217, 0, "Nom", 110));
        QVERIFY(window.insertColumn(217, 1, "Taille", 60));
        QVERIFY(!window.insertColumn(1, 0, "not a list", 10));
        const int values[] = {30, 10, 20};
        for (int value : values) {
            // Each row goes to the top, as the content window adds them.
            const int row = window.insertRow(217, 0, static_cast<std::uintptr_t>(value));
            QCOMPARE(row, 0);
            window.setCellText(217, row, 0, std::to_string(value));
            window.setCellText(217, row, 1, "é" + std::to_string(value));
        }
        QCOMPARE(window.rowCount(217), 3);
        QCOMPARE(window.rowData(217, 0), std::uintptr_t{20});
        window.sortRows(217, [](std::uintptr_t a, std::uintptr_t b) { return a < b ? -1 : a > b ? 1 : 0; });
        QCOMPARE(window.cellText(217, 0, 0), std::string("10"));
        QCOMPARE(window.cellText(217, 2, 1), std::string("é30"));
        QCOMPARE(window.rowData(217, 1), std::uintptr_t{20});

        ListView* view = window.list(217);
        QVERIFY(view != nullptr);
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Taille"));
        emit view->activated(view->model()->index(2, 0));
        QCOMPARE(recorder.activated, (std::vector<std::pair<int, int>>{{217, 2}}));
        emit view->header()->sectionClicked(1);
        QCOMPARE(recorder.columns, (std::vector<std::pair<int, int>>{{217, 1}}));
        // Escape sends the cancel command, which is the content window's Extract all.
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(recorder.commands, std::vector<int>{kIdCancel});
        QVERIFY(window.isVisible());
    }

    void messagesAreOwnerlessWarnings() {
        const std::unique_ptr<QMessageBox> box = makeWarningBox(QStringLiteral("text\n==> /a/b"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QVERIFY(box->parent() == nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("Quillomar"));
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->text(), QStringLiteral("text\n==> /a/b"));
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomar"));
    DialogWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogwindow_test.moc"
