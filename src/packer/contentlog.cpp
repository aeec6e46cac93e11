#include "packer/contentlog.h"

#include <cerrno>

#include "platform/codepage.h"
#include "platform/fileio.h"
#include "platform/outputfile.h"

namespace quillomar {

Failure writeContentLog(const std::string& logPath, const SourceList& list) {
    // Written under a temporary name and renamed over the old log once whole and on disk.
    Result<PendingFile> output = PendingFile::create(logPath, UnnamedFile::Refused);
    if (!output) return output.failure();
    File& log = output->file();
    // Lines are gathered and written in large pieces; the bytes are the same as line by line.
    constexpr std::size_t kFlushAt = 1 << 16;
    std::string pending;
    auto flush = [&] {
        bool ok = log.writeAll(std::as_bytes(std::span(pending.data(), pending.size())));
        pending.clear();
        return ok;
    };
    bool ok = true;
    for (const SourceFile& file : list.files) {
        pending += contentLogLine(file.name);
        pending += "\r\n";
        if (pending.size() >= kFlushAt && !(ok = flush())) break;
    }
    if (ok) ok = flush();
    // A log cut short by a full disk would be taken for the whole list: it never takes the name.
    Failure failure = ok ? output->publish(Publish::Replace, Flush::DataAndName) : log.failure();
    if (!failure.failed()) return {};
    output->discard();
    return failure;
}

}  // namespace quillomar
