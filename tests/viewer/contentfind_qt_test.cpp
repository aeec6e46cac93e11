// The filter box and the preview pane in the real content window on the offscreen platform, with
// the keys a user presses: Ctrl+F, typing, Escape, F3 and the arrows; the pane's pictures scaled
// and captioned, and its state kept in the settings file.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "imagefiles.h"
#include "platform/settings.h"
#include "testutil.h"
#include "ui/dialogwindow.h"
#include "ui/listview.h"
#include "ui/previewpane.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"
#include "windowdriver.h"

using namespace quillomar;

namespace {

const FileTime kApril = test::utc(2003, 4, 28, 14, 5, 8);

std::string pngOf(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

}  // namespace

class ContentFindQtTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<test::ScopedEnv> config;
    std::unique_ptr<test::FakeHost> owner;
    std::unique_ptr<test::CountingProgress> progress;
    std::unique_ptr<PodArchive> archive;
    std::unique_ptr<ContentWindow> logic;
    std::unique_ptr<DialogWindow> dialog;
    int pickers = 0;

    // The content window over entries (in directory order; the list shows them from the last),
    // its pane remembered in the settings file.
    void open(const std::vector<test::TimedEntry>& entries) {
        const std::string path = *dir / "test.pod";
        test::writeFile(path, test::layOutTimed(entries));
        archive = std::make_unique<PodArchive>();
        QCOMPARE(archive->open(path), 1);
        QCOMPARE(archive->readDirectory(), 1);
        logic = std::make_unique<ContentWindow>(*archive, *owner, *progress,
                                                [](int id) { return loadString(id, Language::Neutral); });
        logic->rememberPreviewIn({[] { return readSetting("preview") == "shown"; },
                                  [](bool shown) { (void)writeSetting("preview", shown ? "shown" : "hidden"); }});
        dialog = std::make_unique<DialogWindow>(*findDialogTemplate(kContentDialogId), Language::Neutral, *logic);
        dialog->initialize();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    QLineEdit& filter() const { return *qobject_cast<QLineEdit*>(dialog->control(viewer::kFilter)); }
    ListView& list() const { return *dialog->list(viewer::kList); }
    PreviewPane& pane() const { return *qobject_cast<PreviewPane*>(dialog->control(viewer::kPreview)); }
    QString hint() const { return QString::fromStdString(dialog->itemText(viewer::kHint)); }
    // A folder picker that opens is counted and cancelled.
    void countPickers() {
        test::whenModal([this](QWidget*) { ++pickers; }, dialog.get());
    }

private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        config = std::make_unique<test::ScopedEnv>("XDG_CONFIG_HOME", (*dir / "config").c_str());
        owner = std::make_unique<test::FakeHost>(kPackerDialogId);
        progress = std::make_unique<test::CountingProgress>();
        pickers = 0;
    }
    void cleanup() {
        dialog.reset();
        logic.reset();
        archive.reset();
        config.reset();
        dir.reset();
    }

    void ctrlFTypingAndEscapeNarrowCountAndClear() {
        open({{"ART\\A.PBM", "a", kApril}, {"ART\\B.PBM", "b", kApril}, {"README.TXT", "r", kApril}});
        const QString own = hint();
        QCOMPARE(filter().accessibleName(), QStringLiteral("Filter"));
        QTest::keyClick(&list(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), &filter());
        QTest::keyClicks(&filter(), "pbm");
        QCOMPARE(list().model()->rowCount(), 2);
        QCOMPARE(hint(), QStringLiteral("2 of 3 entries"));
        QTest::keyClicks(&filter(), "*");  // "pbm*": a pattern now, which no name matches
        QCOMPARE(list().model()->rowCount(), 0);
        QTest::keyClick(&filter(), Qt::Key_Backspace);
        QTest::keyClick(&filter(), Qt::Key_Backspace);
        QTest::keyClick(&filter(), Qt::Key_Backspace);
        QTest::keyClick(&filter(), Qt::Key_Backspace);
        QTest::keyClicks(&filter(), "*.txt");
        QCOMPARE(list().model()->rowCount(), 1);
        QCOMPARE(list().model()->index(0, 0).data().toString(), QStringLiteral("README"));

        // Escape in the box empties it, and nothing else; in the list it means Extract all.
        countPickers();
        QTest::keyClick(&filter(), Qt::Key_Escape);
        QCOMPARE(filter().text(), QString());
        QCOMPARE(list().model()->rowCount(), 3);
        QCOMPARE(hint(), own);
        QVERIFY(dialog->isVisible());
        QTest::qWait(30);
        QCOMPARE(pickers, 0);
        list().setFocus();
        QTest::keyClick(&list(), Qt::Key_Escape);
        QCOMPARE(pickers, 1);

        // Enter in the box goes on to the list; the window stays.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        filter().setFocus();
        QTest::keyClicks(&filter(), "art");
        QTest::keyClick(&filter(), Qt::Key_Return);
        QCOMPARE(dialog->focusWidget(), &list());
        QVERIFY(dialog->isVisible());
    }

    void f3ShowsThePaneBesideTheListWithTheCurrentRowAndRemembersIt() {
        const test::Picture picture = test::patternPicture(3, 2);
        open({{"TEXT.TXT", "Hello\nworld", kApril},
              {"SKY.TGA", test::encodeTga(picture, {}), kApril},
              {"ICON.PNG", pngOf(40, 30), kApril},
              {"BAD.PNG", "\x89PNG\r\n\x1A\n broken", kApril}});
        QVERIFY(pane().isHidden());
        QCOMPARE(pane().accessibleName(), QStringLiteral("Preview"));
        const int wide = list().width();
        list().setFocus();
        list().setCurrentIndex(list().model()->index(0, 0));
        QTest::keyClick(&list(), Qt::Key_F3);
        QVERIFY(!pane().isHidden());
        QVERIFY(list().width() < wide);
        QVERIFY(list().geometry().right() < pane().geometry().left());
        QCOMPARE(readSetting("preview"), std::optional<std::string>("shown"));

        // Rows from the last entry: BAD.PNG, ICON.PNG, SKY.TGA, TEXT.TXT. Shown, the pane shows
        // the current row at once.
        QCOMPARE(pane().shownKind(), PaneContent::Kind::Message);
        QCOMPARE(pane().shownText(), QStringLiteral("cannot be shown"));
        QTest::keyClick(&list(), Qt::Key_Down);
        QCOMPARE(pane().shownKind(), PaneContent::Kind::EncodedImage);
        QCOMPARE(pane().caption(), QString::fromUtf8("40 \xC3\x97 30 pixels"));
        QTest::keyClick(&list(), Qt::Key_Down);
        QCOMPARE(pane().shownKind(), PaneContent::Kind::Pixels);
        QCOMPARE(pane().picture().pixel(2, 1), picture.pixels[5]);
        // Scaled to fit, and never beyond four times its size.
        QCOMPARE(pane().pictureShownSize(), QSize(12, 8));
        QTest::keyClick(&list(), Qt::Key_Down);
        QCOMPARE(pane().shownKind(), PaneContent::Kind::Text);
        QCOMPARE(pane().shownText(), QStringLiteral("Hello\nworld"));

        QTest::keyClick(&list(), Qt::Key_F3);
        QVERIFY(pane().isHidden());
        QCOMPARE(list().width(), wide);
        QCOMPARE(readSetting("preview"), std::optional<std::string>("hidden"));
    }

    void paneShownLastTimeIsShownAtStart() {
        QVERIFY(!writeSetting("preview", "shown").failed());
        open({{"A.TXT", "a", kApril}});
        QVERIFY(!pane().isHidden());
    }
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ContentFindQtTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "contentfind_qt_test.moc"
