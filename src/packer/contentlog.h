#pragma once
#include <string>

#include "packer/sourcelist.h"

namespace quillomar {

// Writes one line per scanned file (its full path, then CR LF) to logPath, replacing the file.
// A failure is reported with the log's path; the caller goes on either way.
void writeContentLog(const std::string& logPath, const SourceList& list);

}  // namespace quillomar
