#include "packer/contentlog.h"

#include <unistd.h>

#include <cerrno>

#include "platform/fileio.h"
#include "platform/messages.h"

namespace quillomar {

void writeContentLog(const std::string& logPath, const SourceList& list) {
    File log = File::createAlways(logPath);
    if (!log.valid()) {
        showSystemError(logPath);
        return;
    }
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
        pending += file.name;
        pending += "\r\n";
        if (pending.size() >= kFlushAt && !(ok = flush())) break;
    }
    if (ok) ok = flush();
    if (ok) ok = log.close();
    if (!ok) {
        // A log cut short by a full disk would be taken for the whole list.
        int error = errno;
        log.close();
        ::unlink(logPath.c_str());
        showSystemError(error, logPath);
    }
}

}  // namespace quillomar
