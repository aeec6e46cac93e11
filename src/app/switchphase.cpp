#include "app/switchphase.h"

namespace quillomar {

// Placeholder until registration lands: no switch is acted on.
int runSwitchPhase(const std::string& /*fullCommandLine*/) { return 0; }

}  // namespace quillomar
