#pragma once
// The content window's tests: archives of entries with their times, and a time zone for a test.

#include <stdlib.h>
#include <time.h>

#include <optional>
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
    explicit TimeZone(const char* tz) {
        if (const char* before = ::getenv("TZ")) previous_ = before;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

}  // namespace quillomar::test
