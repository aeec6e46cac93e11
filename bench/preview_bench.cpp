// Times what the preview pane asks of the engine for entries of 4 MiB: makePreview of a text, a
// binary (hex dump), TGA pictures (raw and run-length) and PCX pictures (256 colours, 24 bits),
// each read straight from an archive the benchmark writes first.
//
// Usage: preview_bench [ROUNDS [FOLDER]]     (defaults 20 and a temporary folder)
// Prints per entry: its size, the kind shown, the fastest and median milliseconds, and the median
// processor time (user and system) of this process per preview: on a busy machine the wall clock
// also counts the time other processes had the processor.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "archive/podwriter.h"
#include "imagefiles.h"
#include "packer/sourcelist.h"
#include "preview/preview.h"

using namespace quillomar;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kEntryBytes = 4 << 20;

double processorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

const char* kindName(PreviewKind kind) {
    switch (kind) {
        case PreviewKind::Text:
            return "text";
        case PreviewKind::Picture:
            return "picture";
        case PreviewKind::ToolkitPicture:
            return "toolkit picture";
        case PreviewKind::Hex:
            return "hex";
        case PreviewKind::Unavailable:
            return "unavailable";
    }
    return "?";
}

// A photo-like picture: smooth gradients with noise, so run-length encoding finds short runs only.
test::Picture photo(std::uint32_t width, std::uint32_t height, std::mt19937& random) {
    test::Picture picture{width, height, {}};
    picture.pixels.reserve(std::size_t{width} * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t noise = random() & 0x07;
            picture.pixels.push_back(0xFF000000 | ((x / 4 + noise) & 0xFF) << 16 | ((y / 4) & 0xFF) << 8 |
                                     ((x + y) / 8 & 0xFF));
        }
    }
    return picture;
}

std::vector<std::pair<std::string, std::string>> entries() {
    std::mt19937 random(22);
    std::string text;
    while (text.size() < kEntryBytes)
        text += "Line " + std::to_string(text.size()) + ": the quick brown fox, caf\xE9.\r\n";
    std::string binary(kEntryBytes, '\0');
    for (char& c : binary) c = static_cast<char>(random());

    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 256; ++i) palette.push_back(0xFF000000 | i * 0x010203u);
    test::Picture indexed{1900, 1900, {}};
    for (std::uint32_t i = 0; i < 1900 * 1900; ++i) indexed.pixels.push_back(palette[(i / 3 + (random() & 3)) & 0xFF]);

    return {
        {"text.txt", text},
        {"binary.bin", binary},
        {"raw32.tga",
         test::encodeTga(photo(1024, 1024, random), {.imageType = 2, .pixelBits = 32, .attributeBits = 8})},
        {"rle24.tga", test::encodeTga(photo(1200, 1200, random), {.imageType = 10, .pixelBits = 24})},
        {"indexed8.pcx", test::encodePcx(indexed, {.bitsPerPixel = 8, .planes = 1, .palette = palette})},
        {"rgb24.pcx", test::encodePcx(photo(1700, 1700, random), {.bitsPerPixel = 8, .planes = 3})},
    };
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path() / "quillomar-preview-bench";
    const std::filesystem::path source = folder / "src";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(source);
    for (const auto& [name, bytes] : entries()) std::ofstream(source / name, std::ios::binary) << bytes;

    SourceList list;
    list.resetScan(source.string());
    list.scanFolder(source.string(), nullptr);
    const std::string path = (folder / "bench.pod").string();
    PodWriter writer(path, 1000, "", "", "");
    struct : WriteObserver {
        void incomplete(const Failure&) override { whole = false; }
        bool whole = true;
    } written;
    if (writer.write(list.files, list.prefixLength, nullptr, written).failed() || !written.whole) {
        std::fprintf(stderr, "preview_bench: the archive could not be written\n");
        return 1;
    }
    PodArchive archive;
    if (archive.open(path) != 1 || archive.readDirectory() != 1) {
        std::fprintf(stderr, "preview_bench: the archive could not be read\n");
        return 1;
    }

    std::printf("%-14s %10s  %-8s %9s %9s %9s   (%d rounds)\n", "entry", "bytes", "kind", "min ms", "median ms",
                "cpu ms", rounds);
    for (const ArchiveEntry& entry : archive.entries()) {
        std::vector<double> times, processor;
        PreviewKind kind = PreviewKind::Unavailable;
        for (int round = 0; round < rounds; ++round) {
            const double startProcessor = processorMilliseconds();
            const Clock::time_point start = Clock::now();
            const Preview preview = makePreview(archive, entry);
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            processor.push_back(processorMilliseconds() - startProcessor);
            kind = preview.kind;
        }
        std::sort(times.begin(), times.end());
        std::sort(processor.begin(), processor.end());
        std::printf("%-14s %10u  %-8s %9.2f %9.2f %9.2f\n", entry.name.c_str(), entry.size, kindName(kind),
                    times.front(), times[times.size() / 2], processor[processor.size() / 2]);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
