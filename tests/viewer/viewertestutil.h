#pragma once
// The content window's tests: archives of entries with their times, and a time zone for a test.

#include <time.h>

#include <string>
#include <vector>

#include "archive/timestamp.h"
#include "testutil.h"

namespace quillomar::test {

struct TimedEntry {
    std::string name;  // stored name, code-page bytes, '\' separators
    std::string data;
    FileTime time = 0;  // 0: stored as no valid DOS time
};

// A POD3 archive of the entries, in this directory order.
inline std::string layOutTimed(const std::vector<TimedEntry>& entries) {
    std::vector<RawEntry> raw;
    for (const TimedEntry& e : entries) raw.push_back({e.name, e.data, encodeTimestamp(e.time)});
    return layOutPod3(raw, "Viewer test", "", "", 1000);
}

// The time zone for the test's duration, as a POSIX TZ text; the one before comes back after.
class TimeZone {
public:
    explicit TimeZone(const char* tz) : tz_("TZ", tz) { ::tzset(); }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    // Members end in reverse order: tz_ puts the old TZ back, then reload_ makes it current.
    struct Reload {
        ~Reload() { ::tzset(); }
    } reload_;
    ScopedEnv tz_;
};

}  // namespace quillomar::test
