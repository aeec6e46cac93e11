// Preloaded into quillomar-cli (LD_PRELOAD) to give it a file system without unnamed files: every
// open with O_TMPFILE fails with EOPNOTSUPP, as it does where the file system cannot make them, and
// the program takes its hidden-name path. Every other open goes to the C library unchanged.
#undef _FORTIFY_SOURCE  // the fortified headers define open() inline; this file defines the real one
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

bool wantsUnnamedFile(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }

// Refuses an unnamed file, else calls the C library's function name with the leading arguments
// (a folder, a path), the flags and the mode, which is there only when the flags ask for one.
template <typename... Leading>
int openUnlessUnnamed(const char* name, int flags, va_list arguments, Leading... leading) {
    const bool hasMode = (flags & O_CREAT) != 0 || wantsUnnamedFile(flags);
    const mode_t mode = hasMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    if (wantsUnnamedFile(flags)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    using Function = int (*)(Leading..., int, ...);
    const auto real = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
    return real(leading..., flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openUnlessUnnamed("open", flags, arguments, path);
    va_end(arguments);
    return fd;
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openUnlessUnnamed("open64", flags, arguments, path);
    va_end(arguments);
    return fd;
}

int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openUnlessUnnamed("openat", flags, arguments, folder, path);
    va_end(arguments);
    return fd;
}

int openat64(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openUnlessUnnamed("openat64", flags, arguments, folder, path);
    va_end(arguments);
    return fd;
}

}  // extern "C"
