#include "testutil.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "archive/podarchive.h"
#include "archive/storedname.h"

namespace quillomar::test {

SourceList scan(const std::string& folder, ProgressSink* progress) {
    SourceList list;
    list.resetScan(folder);
    list.scanFolder(folder, progress);
    return list;
}

int pack(SourceList list, const std::string& archive, const std::string& author) {
    PodWriter writer(archive, 1000, author, "Description...", "Copyright...");
    ReportingObserver shown;
    const Failure failed = writer.write(list.files, list.prefixLength, nullptr, shown);
    report(failed);
    return failed.failed() ? 0 : 1;
}

int extractAll(PodArchive& archive, const std::string& root, ProgressSink* progress) {
    ReportingObserver shown(&archive);
    const Result<Extracted> done = archive.extractAll(root, shown, progress);
    if (!done) report(done.failure());
    return done && done->complete() ? 1 : 0;
}

void ReportingObserver::overwritten(std::size_t entry) {
    const std::string name = archive_ != nullptr ? storedNameForMessage(archive_->entries()[entry].name) : "";
    report(Failure::system(EEXIST, name, std::string(kWrittenOverText) + name));
}

void ReportingObserver::stopped(const Failure& failure, std::size_t notExtracted, std::size_t total) {
    report(Failure::system(failure.error, failure.path + "\n" + notExtractedText(notExtracted, total)));
}

std::vector<std::string> storedNames(const std::string& archive) {
    PodArchive reader;
    std::vector<std::string> names;
    if (reader.open(archive) != 1 || reader.readDirectory() != 1) return {"(unreadable archive)"};
    for (const ArchiveEntry& entry : reader.entries()) names.push_back(entry.name);
    return names;
}

std::string caseName(std::string_view what) {
    std::string name;
    bool wordStart = true;
    for (char c : what) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (c == '\'') continue;  // "scan's" is one word
        if (!alnum) {
            wordStart = true;
            continue;
        }
        name.push_back(wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        wordStart = false;
    }
    return name;
}

FileTime utc(int year, int month, int day, int hour, int minute, int second) {
    DosDateTime dos;
    dos.date = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    dos.time = static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
    return *dosDateTimeToFileTime(dos) + (second % 2) * kFileTimeTicksPerSecond;
}

RecordingSink::RecordingSink() : previous_(setMessageSink(this)) {}
RecordingSink::~RecordingSink() { setMessageSink(previous_); }

void putLe32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

std::uint32_t getLe32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return value;
}

namespace {

void putText(std::string& bytes, std::size_t offset, const std::string& text) {
    bytes.replace(offset, text.size(), text);
}

std::string directoryAndNames(const std::vector<RawEntry>& entries, const std::vector<std::uint32_t>& dataOffsets) {
    std::string directory, names;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string record(20, '\0');
        putLe32(record, 0, static_cast<std::uint32_t>(names.size()));
        putLe32(record, 4, static_cast<std::uint32_t>(entries[i].data.size()));
        putLe32(record, 8, dataOffsets[i]);
        putLe32(record, 12, entries[i].timestamp);
        directory += record;
        names += entries[i].name;
        names.push_back('\0');
    }
    return directory + names;
}

}  // namespace

std::string layOutPod3(const std::vector<RawEntry>& entries, const std::string& description, const std::string& author,
                       const std::string& copyright, std::int32_t priority) {
    std::string header(288, '\0');
    putText(header, 0, "POD3");
    putText(header, 8, description.substr(0, 79));
    putLe32(header, 88, static_cast<std::uint32_t>(entries.size()));
    putLe32(header, 96, 1000);
    putLe32(header, 100, static_cast<std::uint32_t>(priority));
    putText(header, 104, author.substr(0, 79));
    putText(header, 184, copyright.substr(0, 79));
    putLe32(header, 280, 0xFFFFFFFF);
    std::string data;
    std::vector<std::uint32_t> offsets;
    for (const RawEntry& entry : entries) {
        offsets.push_back(static_cast<std::uint32_t>(288 + data.size()));
        data += entry.data;
    }
    std::string tail = directoryAndNames(entries, offsets);
    putLe32(header, 264, static_cast<std::uint32_t>(288 + data.size()));
    putLe32(header, 272, static_cast<std::uint32_t>(tail.size() - 20 * entries.size()));
    return header + data + tail;
}

std::string layOutPod2(const std::vector<RawEntry>& entries, const std::string& description) {
    std::string header(96, '\0');
    putText(header, 0, "POD2");
    putText(header, 8, description.substr(0, 79));
    putLe32(header, 88, static_cast<std::uint32_t>(entries.size()));
    std::size_t namesLength = 0;
    for (const RawEntry& entry : entries) namesLength += entry.name.size() + 1;
    std::uint32_t next = static_cast<std::uint32_t>(96 + 20 * entries.size() + namesLength);
    std::vector<std::uint32_t> offsets;
    std::string data;
    for (const RawEntry& entry : entries) {
        offsets.push_back(next + static_cast<std::uint32_t>(data.size()));
        data += entry.data;
    }
    return header + directoryAndNames(entries, offsets) + data;
}

}  // namespace quillomar::test
