#pragma once
// Helpers shared by the test suites: temporary folders, files with set times, a message recorder and
// a hand layout of archives built straight from the format's rules.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/podformat.h"
#include "platform/filetime.h"
#include "platform/messages.h"
#include "platform/progress.h"

namespace quillomar::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// An environment variable set (or, with nullptr, removed) for the guard's lifetime: what was there
// before comes back however the test ends, failed assertions and exceptions included.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A parameterised case's name from the text that says what it checks: "Archive shown: POD2" gives
// "ArchiveShownPOD2": each word capitalised, letters and digits only.
std::string caseName(std::string_view what);

// Writes bytes to path, creating its folders; sets the modification time when given.
void writeFile(const std::string& path, const std::string& bytes, FileTime mtime = 0);
void makeFolder(const std::string& path);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
FileTime modificationTime(const std::string& path);
FileTime utc(int year, int month, int day, int hour, int minute, int second);

// Records what would have been shown to the user, installed for the recorder's lifetime.
class RecordingSink : public MessageSink {
public:
    RecordingSink();
    ~RecordingSink() override;
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;
    void stringMessage(int id) override { ids.push_back(id); }
    void systemError(const std::string& message) override { systemErrors.push_back(message); }
    void detail(const std::string& path, const std::string& text) override { details.push_back(path + ": " + text); }
    std::string text(int id) override { return texts.count(id) != 0 ? texts.at(id) : std::string(); }
    // Messages shown; details only add to a message.
    std::size_t count() const { return ids.size() + systemErrors.size(); }

    std::vector<int> ids;
    std::vector<std::string> systemErrors;
    std::vector<std::string> details;
    std::map<int, std::string> texts;  // the string table the sink offers, by id

private:
    MessageSink* previous_;
};

struct CountingProgress : ProgressSink {
    void setRange(int low, int high) override { ranges.emplace_back(low, high); }
    void step() override { ++steps; }
    std::vector<std::pair<int, int>> ranges;
    int steps = 0;
};

// One entry of a hand-laid archive.
struct RawEntry {
    std::string name;
    std::string data;
    std::uint32_t timestamp = 0;
};

// POD3 exactly as the writer must lay it out: header, data, directory, names.
std::string layOutPod3(const std::vector<RawEntry>& entries, const std::string& description, const std::string& author,
                       const std::string& copyright, std::int32_t priority);
// POD2: 96-byte header, directory, names, then the data.
std::string layOutPod2(const std::vector<RawEntry>& entries, const std::string& description);

void putLe32(std::string& bytes, std::size_t offset, std::uint32_t value);
std::uint32_t getLe32(const std::string& bytes, std::size_t offset);

}  // namespace quillomar::test
