#pragma once
// Shared by the fuzz targets: a private sandbox folder for the whole run, the input written as a
// file, and checks that stop the run with a readable reason when an invariant breaks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "preview/image.h"

namespace quillomar::fuzz {

// A folder of this process's own, made once: on /dev/shm when it can be written (the targets
// write and remove files on every input), else under $TMPDIR or /tmp. Removed at exit.
const std::string& sandbox();

// Replaces the file at path with bytes.
void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size);

// Removes path and everything below it, never following a symbolic link.
void removeTree(const std::string& path);

// Prints what broke and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] void fail(std::string_view what, std::string_view detail = {});

inline void check(bool condition, std::string_view what, std::string_view detail = {}) {
    if (!condition) fail(what, detail);
}

// What a picture decoder gave for size bytes: a refusal with an error, a reason and an offset
// within the file, or a picture within the bounds whose every pixel was written.
void checkDecodedPicture(const Result<Image>& image, std::size_t size);

}  // namespace quillomar::fuzz
