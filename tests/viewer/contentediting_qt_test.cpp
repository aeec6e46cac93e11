// The content window's edits in the window program on the offscreen platform: files dropped on
// the real list, the Delete key with its question box, F2's editor in the list with Enter and
// Escape; the list's model passes Qt's model tester while it is rebuilt.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "testutil.h"
#include "ui/dialogwindow.h"
#include "ui/listview.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"
#include "windowdriver.h"

using namespace quillomar;

namespace {

// Answers the next question box once it is shown, keeping its text.
void whenQuestion(bool yes, QString* text) {
    test::whenFound(
        []() -> QWidget* {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(top); box != nullptr && box->isVisible()) return box;
            }
            return nullptr;
        },
        [yes, text](QWidget* found) {
            auto* box = static_cast<QMessageBox*>(found);
            *text = box->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
}

QStringList names(const QAbstractItemModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts << model.index(row, kColumnFolder).data().toString() + model.index(row, kColumnName).data().toString() +
                     model.index(row, kColumnType).data().toString();
    }
    texts.sort();
    return texts;
}

int rowNamed(const QAbstractItemModel& model, const QString& name) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, kColumnName).data().toString() == name) return row;
    }
    return -1;
}

}  // namespace

class ContentEditingQtTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TimeZone> zone;
    std::unique_ptr<test::RecordingSink> sink;
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<PodArchive> archive;
    std::unique_ptr<test::FakeHost> owner;
    std::unique_ptr<test::CountingProgress> progress;
    std::unique_ptr<ContentWindow> logic;
    std::unique_ptr<DialogWindow> content;
    std::string path;

    // Opens an archive of ART\A.PBM, ART\B.PBM and README.TXT in the real content dialog.
    ListView& open() {
        path = *dir / "mod.pod";
        const std::uint32_t time = encodeTimestamp(test::utc(2003, 4, 28, 14, 5, 8));
        test::writeFile(path,
                        test::layOutPod3(
                            {{"ART\\A.PBM", "aaaa", time}, {"ART\\B.PBM", "bb", time}, {"README.TXT", "read me", time}},
                            "Edit test", "", "", 1000));
        archive = std::make_unique<PodArchive>();
        if (archive->open(path) != 1 || archive->readDirectory() != 1) qFatal("test archive unreadable");
        setCurrentLanguage(Language::Neutral);
        logic = std::make_unique<ContentWindow>(*archive, *owner, *progress, [](int id) { return loadString(id); });
        content = std::make_unique<DialogWindow>(*findDialogTemplate(kContentDialogId), Language::Neutral, *logic);
        content->initialize();
        content->show();
        if (!QTest::qWaitForWindowExposed(content.get())) qFatal("content window not shown");
        return *content->list(viewer::kList);
    }

private slots:
    void init() {
        zone = std::make_unique<test::TimeZone>("UTC0");
        sink = std::make_unique<test::RecordingSink>();
        dir = std::make_unique<test::TempDir>();
        owner = std::make_unique<test::FakeHost>(kPackerDialogId);
        progress = std::make_unique<test::CountingProgress>();
    }

    void cleanup() {
        content.reset();
        logic.reset();
        archive.reset();
        progress.reset();
        owner.reset();
        dir.reset();
        sink.reset();
        zone.reset();
    }

    void filesDroppedOnTheListAreAddedAndReplacingAsksFirst() {
        ListView& view = open();
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        test::writeFile(*dir / "in/x.txt", "x");
        test::writeFile(*dir / "in/maps/level.map", "map");
        test::writeFile(*dir / "in/readme.txt", "new text");

        // The window itself takes no drop: the list does.
        QVERIFY(!test::dropUrls(*content, {test::fileUrl(*dir / "in/x.txt")}));
        QVERIFY(test::dropUrls(*view.viewport(), {test::fileUrl(*dir / "in/x.txt"), test::fileUrl(*dir / "in/maps")}));
        QCOMPARE(names(*view.model()),
                 (QStringList{"ART\\A.PBM", "ART\\B.PBM", "MAPS\\LEVEL.MAP", "README.TXT", "X.TXT"}));
        QCOMPARE(test::storedNames(path).size(), std::size_t{5});

        // Replacing README.TXT: the question first; No leaves the archive as it was.
        const std::string before = test::readFile(path);
        QString question;
        whenQuestion(false, &question);
        QVERIFY(test::dropUrls(*view.viewport(), {test::fileUrl(*dir / "in/readme.txt")}));
        QTRY_COMPARE(question, QStringLiteral("Replace 1 entry?"));
        QCOMPARE(test::readFile(path), before);
        question.clear();
        whenQuestion(true, &question);
        QVERIFY(test::dropUrls(*view.viewport(), {test::fileUrl(*dir / "in/readme.txt")}));
        QTRY_COMPARE(question, QStringLiteral("Replace 1 entry?"));
        QVERIFY(test::readFile(path) != before);
        QCOMPARE(view.model()->rowCount(), 5);
        QVERIFY(sink->systemErrors.empty());
    }

    void deleteKeyAsksThenRemovesTheSelectedRows() {
        ListView& view = open();
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.setFocus();
        const QAbstractItemModel& model = *view.model();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                          view.visualRect(model.index(rowNamed(model, "A"), 0)).center());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          view.visualRect(model.index(rowNamed(model, "README"), 0)).center());
        QCOMPARE(view.selectedRowNumbers().size(), std::size_t{2});
        QString question;
        whenQuestion(true, &question);
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(question, QStringLiteral("Delete 2 entries?"));
        QCOMPARE(view.model()->rowCount(), 1);
        QCOMPARE(test::storedNames(path).size(), std::size_t{1});
        QVERIFY(content->isVisible());
    }

    void f2EditsTheNameInTheListEnterAppliesAndEscapeCancels() {
        ListView& view = open();
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Escape taken for Extract all would open the folder picker: it is noted and closed.
        bool somethingModal = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()); modal != nullptr) {
                somethingModal = true;
                modal->reject();
            }
        });
        watch.start(5);

        view.setFocus();
        view.setCurrentIndex(view.model()->index(rowNamed(*view.model(), "B"), 0));
        QTest::keyClick(&view, Qt::Key_F2);
        auto* editor = view.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr && editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("B.PBM"));
        QCOMPARE(editor->selectedText(), QStringLiteral("B"));
        const std::string before = test::readFile(path);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTest::qWait(50);
        QVERIFY(!somethingModal);
        QVERIFY(content->isVisible());
        QCOMPARE(test::readFile(path), before);

        QTest::keyClick(&view, Qt::Key_F2);
        editor = view.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr && editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, "c.pbm");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(50);
        QVERIFY(content->isVisible());  // Enter was the editor's, not the Close button's
        QVERIFY(!somethingModal);
        QTRY_COMPARE(names(*view.model()), (QStringList{"ART\\A.PBM", "ART\\C.PBM", "README.TXT"}));
        QCOMPARE(test::storedNames(path), (std::vector<std::string>{"ART\\A.PBM", "ART\\C.PBM", "README.TXT"}));
        QVERIFY(sink->ids.empty());
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomar"));
    ContentEditingQtTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "contentediting_qt_test.moc"
