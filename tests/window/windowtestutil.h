#pragma once
// Helpers for the window tests: temporary folders and files, a message recorder, and archives
// laid out byte by byte from the format's records.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/messages.h"

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

// Writes bytes to path, creating its folders.
void writeFile(const std::string& path, const std::string& bytes);
void makeFolder(const std::string& path);
std::string readFile(const std::string& path);
bool exists(const std::string& path);

// Records what would have been shown, installed for the recorder's lifetime.
class RecordingSink : public MessageSink {
public:
    RecordingSink();
    ~RecordingSink() override;
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;
    void stringMessage(int id) override { ids.push_back(id); }
    void systemError(const std::string& message) override { systemErrors.push_back(message); }
    std::size_t count() const { return ids.size() + systemErrors.size(); }

    std::vector<int> ids;
    std::vector<std::string> systemErrors;

private:
    MessageSink* previous_;
};

struct RawEntry {
    std::string name;  // stored name, '\' separators
    std::string data;
};

// A POD3 archive: header, data, directory, names.
std::string layOutPod3(const std::vector<RawEntry>& entries, const std::string& description,
                       const std::string& author, const std::string& copyright, std::int32_t priority);
// A POD2 archive: 96-byte header, directory, names, data.
std::string layOutPod2(const std::vector<RawEntry>& entries, const std::string& description);

}  // namespace quillomar::test
