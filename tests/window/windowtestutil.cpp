#include "windowtestutil.h"

#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>

#include "archive/podformat.h"

namespace quillomar::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillomar-window-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void makeFolder(const std::string& path) { fs::create_directories(path); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

RecordingSink::RecordingSink() : previous_(setMessageSink(this)) {}
RecordingSink::~RecordingSink() { setMessageSink(previous_); }

namespace {

std::string bytesOf(std::span<const std::byte> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string record(std::uint32_t nameOffset, std::size_t size, std::size_t dataOffset) {
    DirectoryRecord r;
    r.nameOffset = nameOffset;
    r.size = static_cast<std::int32_t>(size);
    r.dataOffset = static_cast<std::int32_t>(dataOffset);
    r.timestamp = 0x102A654C;  // 1980-01-01 00:00
    std::array<std::byte, kDirectoryRecordSize> out{};
    encodeDirectoryRecord(r, out);
    return bytesOf(out);
}

std::string nameTable(const std::vector<RawEntry>& entries, std::vector<std::uint32_t>& offsets) {
    std::string names;
    for (const RawEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(names.size()));
        names += e.name;
        names.push_back('\0');
    }
    return names;
}

}  // namespace

std::string layOutPod3(const std::vector<RawEntry>& entries, const std::string& description,
                       const std::string& author, const std::string& copyright, std::int32_t priority) {
    std::vector<std::uint32_t> nameOffsets;
    const std::string names = nameTable(entries, nameOffsets);
    std::string data;
    std::string directory;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        directory += record(nameOffsets[i], entries[i].data.size(), kPod3HeaderSize + data.size());
        data += entries[i].data;
    }
    PodHeader h;
    std::copy(kMagicPod3.begin(), kMagicPod3.end(), h.magic.begin());
    h.description = makeHeaderText(description);
    h.entryCount = static_cast<std::int32_t>(entries.size());
    h.word96 = kHeaderWord96Value;
    h.priority = priority;
    h.author = makeHeaderText(author);
    h.copyright = makeHeaderText(copyright);
    h.directoryOffset = static_cast<std::uint32_t>(kPod3HeaderSize + data.size());
    h.namesSize = static_cast<std::uint32_t>(names.size());
    h.word280 = kHeaderWord280Value;
    return bytesOf(encodeHeader(h)) + data + directory + names;
}

std::string layOutPod2(const std::vector<RawEntry>& entries, const std::string& description) {
    std::vector<std::uint32_t> nameOffsets;
    const std::string names = nameTable(entries, nameOffsets);
    const std::size_t dataStart = kPod2HeaderSize + entries.size() * kDirectoryRecordSize + names.size();
    std::string data;
    std::string directory;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        directory += record(nameOffsets[i], entries[i].data.size(), dataStart + data.size());
        data += entries[i].data;
    }
    PodHeader h;
    std::copy(kMagicPod2.begin(), kMagicPod2.end(), h.magic.begin());
    h.description = makeHeaderText(description);
    h.entryCount = static_cast<std::int32_t>(entries.size());
    return bytesOf(encodeHeader(h)).substr(0, kPod2HeaderSize) + directory + names + data;
}

}  // namespace quillomar::test
