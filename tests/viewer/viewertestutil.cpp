#include "viewertestutil.h"

#include <stdlib.h>
#include <time.h>

#include <array>
#include <span>

#include "testutil.h"
#include "archive/podformat.h"
#include "archive/timestamp.h"

namespace quillomar::test {

FileTime utcFileTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm civil {};
    civil.tm_year = year - 1900;
    civil.tm_mon = month - 1;
    civil.tm_mday = day;
    civil.tm_hour = hour;
    civil.tm_min = minute;
    civil.tm_sec = second;
    return fileTimeFromTimespec(timespec{::timegm(&civil), 0});
}

namespace {

template <std::size_t N>
std::string bytesOf(const std::array<std::byte, N>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), N);
}

}  // namespace

std::string layOutArchive(const std::vector<TimedEntry>& entries) {
    std::string data, directory, names;
    for (const TimedEntry& e : entries) {
        DirectoryRecord r;
        r.nameOffset = static_cast<std::uint32_t>(names.size());
        r.size = static_cast<std::int32_t>(e.data.size());
        r.dataOffset = static_cast<std::int32_t>(kPod3HeaderSize + data.size());
        r.timestamp = encodeTimestamp(e.time);
        std::array<std::byte, kDirectoryRecordSize> record{};
        encodeDirectoryRecord(r, record);
        directory += bytesOf(record);
        data += e.data;
        names += e.name;
        names.push_back('\0');
    }
    PodHeader h;
    std::copy(kMagicPod3.begin(), kMagicPod3.end(), h.magic.begin());
    h.description = makeHeaderText("Viewer test");
    h.entryCount = static_cast<std::int32_t>(entries.size());
    h.word96 = kHeaderWord96Value;
    h.priority = 1000;
    h.directoryOffset = static_cast<std::uint32_t>(kPod3HeaderSize + data.size());
    h.namesSize = static_cast<std::uint32_t>(names.size());
    h.word280 = kHeaderWord280Value;
    return bytesOf(encodeHeader(h)) + data + directory + names;
}

std::unique_ptr<PodArchive> openArchive(const std::string& path, const std::vector<TimedEntry>& entries) {
    writeFile(path, layOutArchive(entries));
    auto archive = std::make_unique<PodArchive>();
    if (archive->open(path) != 1 || archive->readDirectory() != 1) return nullptr;
    return archive;
}

TimeZone::TimeZone(const char* tz) {
    if (const char* before = ::getenv("TZ")) {
        previous_ = before;
        hadPrevious_ = true;
    }
    ::setenv("TZ", tz, 1);
    ::tzset();
}

TimeZone::~TimeZone() {
    if (hadPrevious_) {
        ::setenv("TZ", previous_.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

}  // namespace quillomar::test
