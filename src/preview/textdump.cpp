#include "preview/textdump.h"

namespace quillomar {

std::optional<std::string> textFromBytes(std::span<const std::byte>, Cut, const CodePage&) { return std::nullopt; }

std::string hexDump(std::span<const std::byte>, const CodePage&) { return {}; }

}  // namespace quillomar
