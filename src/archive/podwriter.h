#pragma once
// Builds a new POD3 archive from scanned files.
//
// The writer shows nothing to the user: write() returns the failure that left no archive, and
// hands what the archive was written without (a source file left out or cut short) to the
// observer its caller passes in, as it happens. The caller decides what the user sees.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"
#include "archive/packcheck.h"
#include "archive/podformat.h"
#include "platform/failure.h"
#include "platform/progress.h"

namespace quillomar {

// What a write tells its caller while it runs. Every call comes on the thread that called write().
class WriteObserver {
public:
    virtual ~WriteObserver() = default;
    // Something the archive is written without: a source file that could not be opened or read
    // (left out), one that became shorter since the scan (stored as it was read), or, once the
    // archive has its name, a folder flush that failed (the archive may not survive a crash).
    // The write goes on.
    virtual void incomplete(const Failure& failure) = 0;
};

class PodWriter {
public:
    // A new POD3 archive at path. The texts are UTF-8; each is stored as at most 79 bytes in the
    // archive code page. write() refuses texts the code page cannot hold.
    PodWriter(std::string path, std::int32_t priority, std::string author, std::string description,
              std::string copyright);

    // Writes the archive for files (host paths; the first prefixLength bytes of each are the
    // packed folder and its separator), copying in bounded chunks. Refuses names and texts the
    // archive cannot hold and archives over 2 GiB - 1 bytes before creating anything; never
    // replaces an existing file unless setReplaceExisting allowed it; on a write failure removes
    // what it wrote. Sets each written file's offset. An empty record when the archive was
    // written (observer has heard of anything it lacks), else why no archive was left.
    [[nodiscard]] Failure write(std::vector<SourceFile>& files, std::int32_t prefixLength, ProgressSink* progress,
                                WriteObserver& observer);
    // Every reason write() would refuse files before creating the archive: header texts the
    // code page cannot hold, then planPack's problems. write() returns the first.
    PackPlan checkWrite(const std::vector<SourceFile>& files, std::int32_t prefixLength) const;
    // Lets write() replace an existing archive (a regular file that could be written), once the
    // new one is complete. Off by default: an existing file is kept.
    void setReplaceExisting(bool replace) { replaceExisting_ = replace; }

    const std::string& path() const { return path_; }
    const PodHeader& header() const { return header_; }
    // Bytes of the archive written so far: its length once written.
    std::uint64_t writeOffset() const { return writeOffset_; }

private:
    std::string path_;
    PodHeader header_{};
    std::string author_, description_, copyright_;  // as given, converted by write()
    std::uint64_t writeOffset_ = 0;
    bool replaceExisting_ = false;
};

}  // namespace quillomar
