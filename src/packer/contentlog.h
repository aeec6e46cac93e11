#pragma once
#include <string>

#include "packer/sourcelist.h"

namespace quillomar {

// Writes one line per scanned file (its full path, then CR LF) to logPath, replacing the file.
// A failure is shown with the log's path (and the cut log removed) and returned.
[[nodiscard]] Failure writeContentLog(const std::string& logPath, const SourceList& list);

}  // namespace quillomar
