// Times the content window over a large archive in the window program, offscreen: the drop of the
// archive on the packer window until the list is on screen, then a click on each column header
// until the sorted list is painted again.
//
// Usage: content_window_bench [ENTRIES [ROUNDS [FOLDER]]]   (defaults 100000, 5, a temporary folder)
//        content_window_bench --write ENTRIES ARCHIVE       writes the benchmark's archive
//        content_window_bench --session ARCHIVE FOLDER      a whole session: open ARCHIVE, sort by
//            each column, Extract all into FOLDER (the picker answers at once); prints the
//            extraction's milliseconds. Run it under /usr/bin/time for its peak memory.

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/contentwindowhook.h"
#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "archive/podformat.h"
#include "archive/timestamp.h"
#include "packer/packerwindow.h"
#include "platform/filetime.h"
#include "platform/messages.h"
#include "ui/dialogwindow.h"
#include "ui/listview.h"
#include "viewer/contentwindow.h"
#include "windowdriver.h"

using namespace quillomar;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <std::size_t N>
std::string bytesOf(const std::array<std::byte, N>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), N);
}

// A POD3 archive of count entries spread over nested folders, with mixed names, types, sizes and
// times, the same for every run.
std::string layOutLargeArchive(int count) {
    std::mt19937 random(20030428);
    const char* const folders[] = {"ART",           "ART\\PLANES",   "ART\\TERRAIN",  "SOUND",
                                   "SOUND\\VOICES", "MAPS",          "DATA",          "DATA\\MISSIONS",
                                   "SCRIPTS",       "MODELS\\SHIPS", "MODELS\\BASES", "TEXTURES"};
    const char* const types[] = {".PBM", ".TXT", ".WAV", ".LVL", ".BIN", ".DEF", ".RAW", ".TGA", "", ".MDL"};
    const char* const stems[] = {"F", "ALPHA", "BRAVO", "CANYON", "DUNE", "ECHO", "FJORD", "GATE", "HANGAR", "ISLE"};
    std::string data, directory, names;
    data.reserve(static_cast<std::size_t>(count) * 40);
    for (int i = 0; i < count; ++i) {
        std::string name = std::string(folders[random() % std::size(folders)]) + "\\" +
                           stems[random() % std::size(stems)] + std::to_string(random() % 100000) +
                           types[random() % std::size(types)];
        const std::size_t size = random() % 80;
        const FileTime time =
            kUnixEpochFileTime + static_cast<FileTime>(315532800 + random() % 900000000) * kFileTimeTicksPerSecond;
        DirectoryRecord record;
        record.nameOffset = static_cast<std::uint32_t>(names.size());
        record.size = static_cast<std::uint32_t>(size);
        record.dataOffset = static_cast<std::uint32_t>(kPod3HeaderSize + data.size());
        record.timestamp = encodeTimestamp(time);
        std::array<std::byte, kDirectoryRecordSize> bytes{};
        encodeDirectoryRecord(record, bytes);
        directory += bytesOf(bytes);
        data.append(size, static_cast<char>('a' + i % 26));
        names += name;
        names.push_back('\0');
    }
    PodHeader header;
    std::copy(kMagicPod3.begin(), kMagicPod3.end(), header.magic.begin());
    header.description = makeHeaderText("Content window benchmark");
    header.entryCount = count;
    header.word96 = kHeaderWord96Value;
    header.priority = 1000;
    header.directoryOffset = static_cast<std::uint32_t>(kPod3HeaderSize + data.size());
    header.namesSize = static_cast<std::uint32_t>(names.size());
    header.word280 = kHeaderWord280Value;
    return bytesOf(encodeHeader(header)) + data + directory + names;
}

// Messages go to standard error: the benchmark has no one to press OK.
class ErrorSink : public MessageSink {
public:
    void stringMessage(int id) override {
        std::fprintf(stderr, "message %d: %s\n", id, loadString(id).c_str());
        failed = true;
    }
    void systemError(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
        failed = true;
    }
    bool failed = false;
};

void clickColumn(QHeaderView& header, int column) {
    QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
}

// Everything queued so far, painting included.
void settle(QWidget& window) {
    QCoreApplication::processEvents();
    window.repaint();
}

bool writeArchive(int count, const std::string& path) {
    const std::string bytes = layOutLargeArchive(count);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("archive: %d entries, %.1f MB, %s\n", count, static_cast<double>(bytes.size()) / 1e6, path.c_str());
    return true;
}

// The content window with a folder picker that answers at once.
class PickedContent : public DialogWindow {
public:
    PickedContent(const DialogTemplate& dialog, Language language, DialogHandler& handler, QWidget* owner,
                  std::string folder)
        : DialogWindow(dialog, language, handler, owner), folder_(std::move(folder)) {}
    std::optional<std::string> pickFolder(std::string_view) override { return folder_; }

private:
    std::string folder_;
};

class SessionPacker : public DialogWindow {
public:
    SessionPacker(const DialogTemplate& dialog, DialogHandler& handler, std::string folder)
        : DialogWindow(dialog, Language::Neutral, handler), folder_(std::move(folder)) {}
    std::unique_ptr<DialogWindow> makeChild(const DialogTemplate& dialog, DialogHandler& handler) override {
        return std::make_unique<PickedContent>(dialog, language(), handler, this, folder_);
    }

private:
    std::string folder_;
};

// Opens the archive, sorts by every column, extracts everything, closes: what a user does in a
// session, for the memory it takes and the time extraction takes in the window.
int runSession(const std::string& archive, const std::string& folder, ErrorSink& sink) {
    PackerWindow logic(std::string_view{}, contentWindowHook());
    SessionPacker packer(*findDialogTemplate(kPackerDialogId), logic, folder);
    packer.initialize();
    packer.show();
    if (!QTest::qWaitForWindowExposed(&packer)) return 1;
    double extracting = -1;
    test::whenModal(
        [&](QWidget* modal) {
            auto* content = dynamic_cast<DialogWindow*>(modal);
            if (content == nullptr) return;
            settle(*content);
            for (int column = 0; column < kColumnCount; ++column) {
                clickColumn(*content->list(viewer::kList)->header(), column);
                settle(*content);
            }
            const Clock::time_point start = Clock::now();
            qobject_cast<QPushButton*>(content->control(viewer::kExtractAll))->click();
            settle(*content);
            extracting = millisecondsSince(start);
            qobject_cast<QPushButton*>(content->control(viewer::kClose))->click();
        },
        &packer, 0);
    test::dropFile(packer, archive);
    if (extracting < 0 || sink.failed) {
        std::fprintf(stderr, "the session did not run through\n");
        return 1;
    }
    std::printf("%.1f\n", extracting);
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double worst(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--write") {
        if (argc != 4) return 2;
        return writeArchive(std::max(1, std::atoi(argv[2])), argv[3]) ? 0 : 1;
    }
    if (mode == "--session") {
        if (argc != 4) return 2;
        int qtArgc = 1;
        QApplication application(qtArgc, argv);
        setCurrentLanguage(Language::Neutral);
        ErrorSink sink;
        setMessageSink(&sink);
        const int status = runSession(argv[2], argv[3], sink);
        setMessageSink(nullptr);
        return status;
    }
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string folder = argc > 3 ? argv[3] : std::string();

    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    setCurrentLanguage(Language::Neutral);
    ErrorSink sink;
    setMessageSink(&sink);

    std::string scratch;
    if (folder.empty()) {
        scratch = (std::filesystem::temp_directory_path() / "quillomar-bench-XXXXXX").string();
        if (::mkdtemp(scratch.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = scratch;
    }
    const std::string path = folder + "/large.pod";
    if (!writeArchive(count, path)) return 1;

    const char* const columnNames[] = {"Name", "Type", "Folder", "Date", "Size"};
    std::vector<double> listed;
    std::array<std::vector<double>, kColumnCount> sorted;
    std::array<std::vector<double>, kColumnCount> sortedAgain;
    int rowsShown = 0;

    PackerWindow logic(std::string_view{}, contentWindowHook());
    DialogWindow packer(*findDialogTemplate(kPackerDialogId), Language::Neutral, logic);
    packer.initialize();
    packer.show();
    if (!QTest::qWaitForWindowExposed(&packer)) return 1;

    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start;
        bool ran = false;
        // Waits for the content window's loop, then measures from inside it.
        test::whenModal(
            [&](QWidget* modal) {
                auto* content = dynamic_cast<DialogWindow*>(modal);
                if (content == nullptr) return;
                ran = true;
                settle(*content);
                listed.push_back(millisecondsSince(start));
                ListView* view = content->list(viewer::kList);
                rowsShown = view->model()->rowCount();
                // Each column twice: the first click orders the rows the previous column left; the
                // second finds them in order already.
                for (int column = 0; column < kColumnCount; ++column) {
                    for (int click = 0; click < 2; ++click) {
                        const Clock::time_point sortStart = Clock::now();
                        clickColumn(*view->header(), column);
                        settle(*content);
                        (click == 0 ? sorted : sortedAgain)[static_cast<std::size_t>(column)].push_back(
                            millisecondsSince(sortStart));
                    }
                }
                qobject_cast<QPushButton*>(content->control(viewer::kClose))->click();
            },
            &packer, 0);
        start = Clock::now();
        test::dropFile(packer, path);  // opens the archive and runs the content window
        if (!ran || sink.failed) {
            std::fprintf(stderr, "the content window did not open\n");
            return 1;
        }
    }

    std::printf("rounds: %d; milliseconds, median / slowest; offscreen, painting included\n", rounds);
    std::printf("  drop to list shown (%d rows)       %7.1f / %7.1f\n", rowsShown, median(listed), worst(listed));
    for (int column = 0; column < kColumnCount; ++column) {
        const auto& first = sorted[static_cast<std::size_t>(column)];
        const auto& again = sortedAgain[static_cast<std::size_t>(column)];
        std::printf("  sort by %-6s  first click %7.1f / %7.1f   again %7.1f / %7.1f\n", columnNames[column],
                    median(first), worst(first), median(again), worst(again));
    }

    setMessageSink(nullptr);
    if (!scratch.empty()) std::filesystem::remove_all(scratch);
    return 0;
}
