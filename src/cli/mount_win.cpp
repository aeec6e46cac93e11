// mount and unmount exist on Windows too, to say where they work.

#include "cli/commands.h"

namespace quillomar::cli {

namespace {

constexpr int kNotAvailable = 2;

int notAvailable(Console& console) {
    console.error("mounting is available on Linux only");
    return kNotAvailable;
}

}  // namespace

int runMount(const MountOptions&, Console& console) { return notAvailable(console); }

int runUnmount(const UnmountOptions&, Console& console) { return notAvailable(console); }

}  // namespace quillomar::cli
