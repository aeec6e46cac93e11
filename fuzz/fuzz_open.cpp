// Any bytes as an archive file: open and readDirectory must refuse what does not fit the file
// and load only entries whose name and data lie inside it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "fuzzsupport.h"

using namespace quillomar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz::sandbox() + "/input.pod";
    fuzz::writeBytes(path, data, size);

    PodArchive archive;
    if (archive.open(path) != 1) {
        fuzz::check(archive.version() == ArchiveVersion::None, "a refused archive kept a version");
        return 0;
    }
    fuzz::check(archive.version() == ArchiveVersion::Pod2 || archive.version() == ArchiveVersion::Pod3,
                "open succeeded without a version");
    fuzz::check(archive.fileSize() == size, "file size differs from the input");
    // The header texts are shown: each must convert whatever bytes it holds.
    (void)archive.description();
    (void)archive.author();
    (void)archive.copyright();

    if (archive.readDirectory() != 1) {
        fuzz::check(archive.entries().empty(), "a refused directory left entries loaded");
        return 0;
    }
    const std::int32_t count = std::max(archive.header().entryCount, 0);
    fuzz::check(archive.entries().size() == static_cast<std::size_t>(count), "entry count differs from the header");

    std::int32_t largest = 0;
    std::uint32_t total = 0;
    std::array<std::byte, 64> buffer{};
    for (const ArchiveEntry& entry : archive.entries()) {
        fuzz::check(entry.name.size() <= kMaxStoredNameLength, "a name longer than 259 bytes was loaded", entry.name);
        fuzz::check(entry.name.find('\0') == std::string::npos, "a name holds a NUL");
        const std::uint64_t start = entry.offset;
        const std::uint64_t length = entry.size;
        fuzz::check(start + length <= size, "an entry's data lies outside the file", entry.name);
        largest = std::max(largest, static_cast<std::int32_t>(entry.size));
        total += entry.size;

        // Reading the data: every byte read must be the input's own.
        std::int64_t got = archive.readEntryData(entry, 0, buffer).count;
        fuzz::check(got == static_cast<std::int64_t>(std::min<std::uint64_t>(length, buffer.size())),
                    "an entry's data could not be read in full", entry.name);
        fuzz::check(std::equal(buffer.begin(), buffer.begin() + got, reinterpret_cast<const std::byte*>(data) + start),
                    "an entry's data differs from the file", entry.name);

        // What the content window and extraction do with a name.
        (void)storedNameToUtf8(entry.name);
        (void)storedNameForMessage(entry.name);
        (void)safeRelativePath(entry.name);
    }
    fuzz::check(archive.largestSize() == largest, "largestSize is not the largest entry size");
    fuzz::check(archive.totalSize() == static_cast<std::int32_t>(total), "totalSize is not the wrapped sum");
    return 0;
}
