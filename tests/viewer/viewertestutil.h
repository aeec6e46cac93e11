#pragma once
// Archives for the content window's tests: entries with data and times, laid out as POD3.

#include <memory>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "platform/filetime.h"

namespace quillomar::test {

struct TimedEntry {
    std::string name;  // stored name, code-page bytes, '\' separators
    std::string data;
    FileTime time = 0;  // 0: stored as no valid DOS time
};

// A UTC calendar time as a file time.
FileTime utcFileTime(int year, int month, int day, int hour, int minute, int second);

// A POD3 archive of the entries, in this directory order.
std::string layOutArchive(const std::vector<TimedEntry>& entries);

// Writes the archive to path, opens it and reads its directory; nullptr when that fails.
std::unique_ptr<PodArchive> openArchive(const std::string& path, const std::vector<TimedEntry>& entries);

// The time zone for the test's duration, as a POSIX TZ text; the one before comes back after.
class TimeZone {
public:
    explicit TimeZone(const char* tz);
    ~TimeZone();
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace quillomar::test
