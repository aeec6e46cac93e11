#include "cli/largepagearena.h"

// Builds where every allocation keeps to the ordinary heap (Windows, the sanitizers).
namespace quillomar::cli {

LargePageArena::LargePageArena() = default;
LargePageArena::~LargePageArena() = default;

}  // namespace quillomar::cli
