#pragma once
#include <string>

#include "packer/sourcelist.h"

namespace quillomar {

// Writes one line per scanned file (its full path, then CR LF) to logPath, replacing the file.
// A failure removes the cut log and is returned with the log's path, for the caller to show.
[[nodiscard]] Failure writeContentLog(const std::string& logPath, const SourceList& list);

}  // namespace quillomar
