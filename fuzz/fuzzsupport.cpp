#include "fuzzsupport.h"

#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <span>

#include "platform/fileio.h"

namespace quillomar::fuzz {

namespace {

std::string makeSandbox() {
    std::string base = "/dev/shm";
    if (::access(base.c_str(), W_OK | X_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    }
    std::string pattern = base + "/quillomar-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) fail("cannot make the sandbox folder", pattern);
    return pattern;
}

void removeSandbox() { removeTree(sandbox()); }

}  // namespace

const std::string& sandbox() {
    static const std::string path = [] {
        std::string made = makeSandbox();
        std::atexit(removeSandbox);
        return made;
    }();
    return path;
}

void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail("cannot write the input file", path);
    if (writeAllTo(fd, std::as_bytes(std::span(data, size)), path).failed()) fail("cannot write the input file", path);
    ::close(fd);
}

void removeTree(const std::string& path) {
    ::nftw(
        path.c_str(),
        [](const char* item, const struct stat*, int, struct FTW*) -> int {
            ::remove(item);
            return 0;
        },
        32, FTW_DEPTH | FTW_PHYS);
}

void fail(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "\n*** invariant broken: %.*s\n*** %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

void checkDecodedPicture(const Result<Image>& image, std::size_t size) {
    if (!image) {
        check(image.failure().failed(), "a refusal without an error");
        check(!image.failure().detail.empty(), "a refusal without a reason");
        check(image.failure().offset <= size, "a refusal's offset lies past the file");
        return;
    }
    check(imageSizeAllowed(image->width, image->height), "a picture beyond the bounds was decoded");
    check(image->pixels.size() == std::size_t{image->width} * image->height, "pixel count differs from the size");
}

}  // namespace quillomar::fuzz
