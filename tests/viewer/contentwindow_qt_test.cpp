// The content window in the window program on the offscreen platform: a real archive opened from
// the packer window lists in the real dialog, sorts on header clicks, opens copies on
// double-clicks and extracts through the folder picker; rows are selected, given a context menu
// and dragged out from the mouse and the keyboard; the window grows; the list's model passes Qt's
// model tester.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <functional>
#include <memory>

#include "app/contentwindowhook.h"
#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "packer/packerwindow.h"
#include "testutil.h"
#include "ui/dialogwindow.h"
#include "ui/listmodel.h"
#include "ui/listview.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"
#include "windowdriver.h"

using namespace quillomar;
using test::dropFile;
using test::whenModal;

namespace {

// The content window's dialog, with a drag's data kept instead of handed to the window system.
class ContentDialog : public DialogWindow {
public:
    using DialogWindow::DialogWindow;
    Qt::DropAction runDrag(QWidget*, QMimeData* mime) override {
        dragged.reset(mime);
        return Qt::CopyAction;
    }
    std::unique_ptr<QMimeData> dragged;
};

// The packer window's dialog, with the desktop's "open" recorded instead of carried out.
class PackerDialog : public DialogWindow {
public:
    using DialogWindow::DialogWindow;
    bool openWithDesktop(const std::string& path) override {
        opened.push_back(path);
        return desktopAnswer;
    }
    std::unique_ptr<DialogWindow> makeChild(const DialogTemplate& dialog, DialogHandler& handler) override {
        return std::make_unique<ContentDialog>(dialog, language(), handler, this);
    }
    std::vector<std::string> opened;
    bool desktopAnswer = true;
};

// Runs action on the next popup menu once it is shown; a menu it leaves open is closed.
void whenMenu(std::function<void(QMenu*)> action) {
    test::whenFound([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                    [action](QWidget* shown) {
                        auto* menu = static_cast<QMenu*>(shown);
                        action(menu);
                        if (menu->isVisible()) menu->close();
                    });
}

QStringList menuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) texts << action->text() + (action->isEnabled() ? "" : " (off)");
    return texts;
}

void choose(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            return;
        }
    }
    QFAIL(qPrintable("no menu item " + text));
}

QStringList columnTexts(const QAbstractItemModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) texts << model.index(row, column).data().toString();
    return texts;
}

void clickHeader(ListView& view, int column) {
    QHeaderView* header = view.header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void doubleClickRow(ListView& view, int row) {
    const QModelIndex index = view.model()->index(row, 0);
    view.scrollTo(index);
    const QPoint at = view.visualRect(index).center();
    // The press that starts a double-click, then the double-click as the window system reports
    // it (QTest's own double-click does not reach item views on every platform plugin).
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, view.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &twice);
}

const FileTime kApril = test::utc(2003, 4, 28, 14, 5, 8);

}  // namespace

class ContentWindowQtTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TimeZone> zone;
    std::unique_ptr<test::RecordingSink> sink;
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<PackerWindow> logic;
    std::unique_ptr<PackerDialog> packer;

    void openPacker(Language language) {
        setCurrentLanguage(language);
        logic = std::make_unique<PackerWindow>(std::string_view{}, contentWindowHook());
        packer = std::make_unique<PackerDialog>(*findDialogTemplate(kPackerDialogId), language, *logic);
        packer->initialize();
        packer->show();
        QVERIFY(QTest::qWaitForWindowExposed(packer.get()));
    }

    std::string makeArchive() {
        const std::string path = *dir / "mod.pod";
        test::writeFile(path, test::layOutTimed({{"ART\\A.PBM", std::string(1500, 'a'), kApril},
                                                 {"ART\\B.PBM", "bb", kApril + 20000000},
                                                 {"README.TXT", "read me", kApril - 20000000}}));
        return path;
    }

    // Drops the test archive on the packer window and runs action in the content window that
    // opens; the window is closed afterwards.
    void inContentWindow(const std::function<void(ContentDialog& content, ListView& view)>& action) {
        const std::string archive = makeArchive();
        bool ran = false;
        whenModal(
            [&](QWidget* modal) {
                auto* content = dynamic_cast<ContentDialog*>(modal);
                QVERIFY(content != nullptr && content->list(viewer::kList) != nullptr);
                ran = true;
                action(*content, *content->list(viewer::kList));
                auto* close = qobject_cast<QPushButton*>(content->control(viewer::kClose));
                if (content->isVisible() && close->isEnabled()) close->click();
            },
            packer.get());
        dropFile(*packer, archive);
        QVERIFY(ran);
    }

private slots:
    void init() {
        zone = std::make_unique<test::TimeZone>("UTC0");
        sink = std::make_unique<test::RecordingSink>();
        dir = std::make_unique<test::TempDir>();
    }

    void cleanup() {
        packer.reset();
        logic.reset();
        dir.reset();
        sink.reset();
        zone.reset();
    }

    void listModelPublishesOnceAndSortsInPlace() {
        ListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.insertColumn(0, QStringLiteral("Name")), 0);
        for (int i = 0; i < 50; ++i) {
            const int row = model.insertRow(0, static_cast<std::uintptr_t>(i));
            model.setCellText(row, 0, std::to_string(i));
        }
        QVERIFY(model.pending());
        QVERIFY(model.publish());
        QVERIFY(!model.publish());  // nothing new: no second reset
        QCOMPARE(model.rowCount(), 50);

        // A sort moves the rows in place, and what points at a row follows it; equal keys keep
        // their order: 49, 42, ... 0 all have key 0, from the top.
        QPersistentModelIndex fortyEight(model.index(1, 0));
        model.sortRows([](std::uintptr_t a, std::uintptr_t b) { return int(a % 7) - int(b % 7); });
        QCOMPARE(fortyEight.row(), 43);  // the first of the key-6 rows
        QCOMPARE(model.rowValue(fortyEight.row()), std::uintptr_t{48});
        QCOMPARE(model.rowValue(0), std::uintptr_t{49});
        QCOMPARE(model.rowValue(7), std::uintptr_t{0});
        QCOMPARE(model.index(7, 0).data().toString(), QStringLiteral("0"));
        QCOMPARE(model.index(7, 0).data(ListModel::kValueRole).toULongLong(), 0ull);
        QVERIFY(!model.index(50, 0).isValid());
    }

    void archiveListsSortsAndOpensCopiesInTheRealDialog() {
        openPacker(Language::French);
        packer->desktopAnswer = false;  // no program for .PBM
        std::string copy;
        inContentWindow([&](ContentDialog& content, ListView& view) {
            QCOMPARE(content.windowTitle(), QStringLiteral("Liste des fichiers POD"));
            QVERIFY(!packer->control(packer::kShowContent)->isEnabled());
            QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            const QAbstractItemModel& model = *view.model();
            QCOMPARE(model.columnCount(), 5);
            QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Répertoire"));
            QCOMPARE(view.columnWidth(1), 45);
            QCOMPARE(columnTexts(model, 0), (QStringList{"README", "B", "A"}));

            // A header click sorts (each column's order, the texts and the dates are the logic tests' matter).
            clickHeader(view, kColumnSize);
            QCOMPARE(columnTexts(model, 0), (QStringList{"B", "README", "A"}));
            QCOMPARE(columnTexts(model, 4), (QStringList{"2", "7", "1500"}));

            doubleClickRow(view, 2);  // ART\A.PBM
            QCOMPARE(packer->opened.size(), std::size_t{1});
            copy = packer->opened[0];
            QCOMPARE(sink->ids, std::vector<int>{kMsgNoAssociation});
            // Enter on the current row opens it too, and leaves the window open.
            view.setFocus();
            view.setCurrentIndex(view.model()->index(0, 0));
            QTest::keyClick(&view, Qt::Key_Return);
            QCOMPARE(packer->opened.size(), std::size_t{2});
            QVERIFY(content.isVisible());
        });
        QVERIFY(packer->control(packer::kShowContent)->isEnabled());
        QVERIFY(test::exists(copy));
        QCOMPARE(logic->archive()->tempFiles().size(), std::size_t{2});
        // The program ending destroys the packer window, which closes the archive.
        packer.reset();
        logic.reset();
        QVERIFY(!test::exists(copy));
    }

    void closeRequestIsIgnoredAndEscapeExtractsAllIntoThePickedFolder() {
        openPacker(Language::Neutral);
        const std::string root = *dir / "out";
        test::makeFolder(root);
        bool cancelled = false;
        bool picked = false;
        inContentWindow([&](ContentDialog& content, ListView&) {
            QCOMPARE(content.windowTitle(), QStringLiteral("POD content"));
            // Escape opens the picker; cancelling it extracts nothing.
            whenModal(
                [&](QWidget* picker) {
                    auto* files = qobject_cast<QFileDialog*>(picker);
                    QVERIFY(files != nullptr);
                    QCOMPARE(files->windowTitle(), QStringLiteral("Destination folder for POD extraction ==>"));
                    cancelled = true;
                    files->reject();
                },
                &content);
            content.close();  // a window manager's own close button: neither Close nor Extract all
            QVERIFY(content.isVisible());
            QVERIFY(!cancelled);
            QTest::keyClick(&content, Qt::Key_Escape);
            QVERIFY(cancelled);
            QVERIFY(content.isVisible());
            QVERIFY(content.control(viewer::kClose)->isEnabled());
            QVERIFY(!test::exists(root + "/README.TXT"));

            whenModal(
                [&](QWidget* picker) {
                    auto* files = qobject_cast<QFileDialog*>(picker);
                    QVERIFY(files != nullptr);
                    files->setDirectory(QString::fromStdString(root));
                    picked = true;
                    static_cast<QDialog*>(files)->accept();  // as its Choose button does
                },
                &content);
            qobject_cast<QPushButton*>(content.control(viewer::kExtractAll))->click();
            QVERIFY(picked);
            QVERIFY(content.control(viewer::kExtractAll)->isEnabled());
            QCOMPARE(qobject_cast<QLabel*>(content.control(viewer::kHint))->text(),
                     QString::fromStdString("3 files extracted to " + root));
        });
        QVERIFY(cancelled && picked);
        QCOMPARE(test::readFile(root + "/ART/A.PBM"), std::string(1500, 'a'));
        const DialogWindow::ProgressState bar = packer->progressState(packer::kProgress);
        QCOMPARE(bar.high, 3);
        QCOMPARE(bar.position, 3);
        QVERIFY(sink->ids.empty());
    }

    void keyboardMenuSelectionAndDragOutInTheRealDialog() {
        openPacker(Language::French);
        inContentWindow([&](ContentDialog& content, ListView& view) {
            QCOMPARE(view.accessibleName(),
                     QStringLiteral("Double-cliquez pour voir une copie temporaire d'un fichier dans la liste"));
            // Tab leads from Extract all to the list; arrows move; typing a name jumps to it.
            content.control(viewer::kExtractAll)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), &view);
            QTest::keyClick(&view, Qt::Key_Down);
            QVERIFY(view.currentIndex().isValid());
            QTest::keyClicks(&view, "A");
            QCOMPARE(view.currentIndex().data().toString(), QStringLiteral("A"));

            // Ctrl+A, then Shift+F10: the menu in French; Copy name puts the three names on the clipboard.
            QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(view.selectedRowNumbers(), (std::vector<int>{0, 1, 2}));
            QStringList texts;
            whenMenu([&](QMenu* menu) {
                texts = menuTexts(menu);
                choose(menu, QStringLiteral("Copier le nom"));
            });
            QTest::keyClick(&view, Qt::Key_F10, Qt::ShiftModifier);
            QCOMPARE(texts, (QStringList{"Ouvrir", "Extraire la sélection vers ...", "Copier le nom", "Aperçu",
                                         "Supprimer", "Renommer"}));
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("README.TXT\nART\\B.PBM\nART\\A.PBM"));

            // Ctrl+click takes a row out of the selection; the right button's menu opens the current row.
            const QModelIndex readme = view.model()->index(0, 0);
            QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, view.visualRect(readme).center());
            QCOMPARE(view.selectedRowNumbers(), (std::vector<int>{1, 2}));
            view.setCurrentIndex(view.model()->index(2, 0));
            whenMenu([&](QMenu* menu) { choose(menu, QStringLiteral("Ouvrir")); });
            const QPoint at = view.visualRect(readme).center();
            QContextMenuEvent mouse(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(view.viewport(), &mouse);
            QCOMPARE(packer->opened.size(), std::size_t{1});
            QVERIFY(packer->opened[0].ends_with("/ART/A.PBM"));

            // The Menu key's menu, dismissed with Escape: nothing runs, Extract all included.
            bool dismissed = false;
            whenMenu([&](QMenu* menu) {
                QTest::keyClick(menu, Qt::Key_Escape);
                dismissed = !menu->isVisible();
            });
            QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), view.mapToGlobal(QPoint()));
            QCoreApplication::sendEvent(&view, &key);
            QVERIFY(dismissed);
            QVERIFY(content.isVisible());
            QVERIFY(content.control(viewer::kClose)->isEnabled());

            // Dragging the selected rows: a click and a Shift+click select two, pressed on one and moved away.
            const QPoint from = view.visualRect(view.model()->index(1, 0)).center();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                              view.visualRect(view.model()->index(2, 0)).center());
            QCOMPARE(view.selectedRowNumbers(), (std::vector<int>{1, 2}));
            QTest::qWait(QApplication::doubleClickInterval() + 10);  // the press below starts no double-click
            QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, from);
            const QPoint to = from + QPoint(QApplication::startDragDistance() * 3, 40);
            // The first move makes the press a drag, the next one starts it.
            for (const QPoint& step : {from + QPoint(1, 1), to}) {
                QMouseEvent move(QEvent::MouseMove, step, view.viewport()->mapToGlobal(step), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(view.viewport(), &move);
            }
            QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, to);
            QVERIFY(content.dragged != nullptr);
            QVERIFY(content.dragged->hasFormat(QStringLiteral("text/uri-list")));
            const QList<QUrl> urls = content.dragged->urls();
            QCOMPARE(urls.size(), 2);
            const std::string first = QFile::encodeName(urls[0].toLocalFile()).toStdString();
            const std::string second = QFile::encodeName(urls[1].toLocalFile()).toStdString();
            QVERIFY(first.ends_with("/ART/A.PBM"));
            QVERIFY(second.ends_with("/ART/B.PBM"));
            QCOMPARE(qobject_cast<QLabel*>(content.control(viewer::kHint))->text(),
                     QStringLiteral("Double-cliquez pour voir une copie temporaire d'un fichier dans la liste"));
        });
    }

    void contentWindowGrowsButNeverShrinksAndEditsAreNamed() {
        openPacker(Language::Neutral);
        QCOMPARE(packer->control(packer::kAuthor)->accessibleName(), QStringLiteral("Author"));
        QCOMPARE(packer->control(packer::kName)->accessibleName(), QStringLiteral("POD name"));
        QCOMPARE(packer->control(packer::kPriority)->accessibleName(), QStringLiteral("Priority"));
        QCOMPARE(packer->minimumSize(), packer->maximumSize());  // the packer window keeps its size
        inContentWindow([&](ContentDialog& content, ListView& view) {
            QWidget* close = content.control(viewer::kClose);
            const QSize start = content.size();
            QCOMPARE(content.minimumSize(), start);
            const QRect list = view.geometry();
            const QRect button = close->geometry();
            const QRect extract = content.control(viewer::kExtractAll)->geometry();
            const int name = view.columnWidth(kColumnName);
            const int type = view.columnWidth(kColumnType);
            const int folder = view.columnWidth(kColumnFolder);
            content.resize(start + QSize(200, 100));
            QCoreApplication::processEvents();
            QCOMPARE(view.geometry(), list.adjusted(0, 0, 200, 100));
            QCOMPARE(close->geometry(), button.translated(200, 100));
            QCOMPARE(content.control(viewer::kExtractAll)->geometry(), extract.translated(0, 100));
            QCOMPARE(view.columnWidth(kColumnName), name + 100);
            QCOMPARE(view.columnWidth(kColumnFolder), folder + 100);
            QCOMPARE(view.columnWidth(kColumnType), type);
            // A long name can be read whole in its tooltip.
            QCOMPARE(view.model()->index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("README"));
            qobject_cast<QPushButton*>(close)->click();
        });
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomar"));
    ContentWindowQtTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "contentwindow_qt_test.moc"
