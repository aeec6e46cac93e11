// Times the content window's filter box over a large archive in the window program, offscreen:
// each keystroke from the key press until the list is painted again, while typing a plain text
// that narrows the rows, erasing it back to the whole list, and typing a pattern; the list sorted
// by name throughout, so that each refill is sorted again. Also the peak memory before and after.
//
// Usage: filter_bench [ENTRIES [ROUNDS]]   (defaults 100000 and 5)
// Built on request only, with the tests' helpers (it needs the tests configured).

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "fakehost.h"
#include "testutil.h"
#include "ui/dialogwindow.h"
#include "ui/listview.h"
#include "viewer/contentwindow.h"

using namespace quillomar;
using Clock = std::chrono::steady_clock;

namespace {

// Stored names spread over nested folders, as a game's archive holds them.
std::vector<test::RawEntry> largeTree(int count) {
    std::mt19937 random(20030428);
    const char* const folders[] = {"ART",           "ART\\PLANES",   "ART\\TERRAIN", "SOUND",
                                   "SOUND\\VOICES", "MAPS",          "DATA",         "DATA\\MISSIONS",
                                   "SCRIPTS",       "MODELS\\SHIPS", "TEXTURES",     "MODELS\\BASES"};
    const char* const types[] = {".PBM", ".TXT", ".WAV", ".LVL", ".BIN", ".DEF", ".RAW", ".TGA", "", ".MDL"};
    const char* const stems[] = {"F", "ALPHA", "BRAVO", "CANYON", "DUNE", "ECHO", "FJORD", "GATE", "HANGAR", "ISLE"};
    std::vector<test::RawEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries.push_back({std::string(folders[random() % std::size(folders)]) + "\\" +
                               stems[random() % std::size(stems)] + std::to_string(random() % 100000) +
                               types[random() % std::size(types)],
                           std::string(random() % 40, 'x'), 0x2E9C72A0u});
    }
    return entries;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double worst(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    test::TempDir dir;
    const std::string path = dir / "large.pod";
    test::writeFile(path, test::layOutPod3(largeTree(count), "Filter benchmark", "", "", 1000));
    PodArchive archive;
    if (archive.open(path) != 1 || archive.readDirectory() != 1) return 1;
    test::FakeHost owner(kPackerDialogId);
    test::CountingProgress progress;
    ContentWindow logic(archive, owner, progress, [](int id) { return loadString(id, Language::Neutral); });
    DialogWindow window(*findDialogTemplate(kContentDialogId), Language::Neutral, logic);
    window.initialize();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    logic.sortByColumn(kColumnName);
    auto* filter = qobject_cast<QLineEdit*>(window.control(viewer::kFilter));
    ListView* list = window.list(viewer::kList);
    filter->setFocus();
    QCoreApplication::processEvents();
    window.repaint();
    const long peakBefore = peakKilobytes();

    std::vector<double> narrowing, widening, pattern;
    int narrowest = count;
    auto key = [&](std::vector<double>& into, Qt::Key code, char text) {
        const Clock::time_point start = Clock::now();
        if (text != 0) {
            QTest::keyClick(filter, text);
        } else {
            QTest::keyClick(filter, code);
        }
        QCoreApplication::processEvents();
        window.repaint();
        into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (&into == &narrowing) narrowest = std::min(narrowest, list->model()->rowCount());
    };
    for (int round = 0; round < rounds; ++round) {
        for (char c : std::string("missions/gate")) key(narrowing, Qt::Key_unknown, c);
        for (int i = 0; i < 13; ++i) key(widening, Qt::Key_Backspace, 0);
        for (char c : std::string("**/h*[0-4].tga")) key(pattern, Qt::Key_unknown, c);
        filter->clear();
        logic.applyFilter();
    }
    std::printf("%d entries, %d rounds; milliseconds per keystroke until painted, median / slowest\n", count, rounds);
    std::printf("  typing text (down to %d rows)  %7.1f / %7.1f\n", narrowest, median(narrowing), worst(narrowing));
    std::printf("  erasing it back to all rows    %7.1f / %7.1f\n", median(widening), worst(widening));
    std::printf("  typing a pattern               %7.1f / %7.1f\n", median(pattern), worst(pattern));
    std::printf("peak memory: %.1f MiB before typing, %.1f MiB after   (target: the same)\n", static_cast<double>(peakBefore) / 1024.0,
                static_cast<double>(peakKilobytes()) / 1024.0);
    return 0;
}
