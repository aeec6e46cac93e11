// The floor under packing and extracting: the same bytes copied by the kernel, with no archive
// format at all.
//   floorcopy pack TREE FILE      every file of TREE (sorted paths) appended to FILE
//   floorcopy extract TREE FILE OUT  FILE cut back into TREE's files under OUT
// Each copy is one copy_file_range loop, the user-space fallback only where the kernel refuses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool copy(int from, off_t* fromOffset, int to, off_t length) {
    static bool kernel = true;
    static std::vector<char> buffer(1 << 20);
    while (length > 0) {
        ssize_t n = -1;
        if (kernel) {
            n = ::copy_file_range(from, fromOffset, to, nullptr, static_cast<size_t>(length), 0);
            if (n < 0) kernel = false;
        }
        if (!kernel) {
            n = ::pread(from, buffer.data(), std::min<size_t>(buffer.size(), static_cast<size_t>(length)), *fromOffset);
            if (n > 0 && ::write(to, buffer.data(), static_cast<size_t>(n)) != n) return false;
            if (n > 0) *fromOffset += n;
        }
        if (n <= 0) return false;
        length -= n;
    }
    return true;
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    const fs::path tree = argv[2];
    std::vector<fs::path> files;
    for (const auto& item : fs::recursive_directory_iterator(tree)) {
        if (item.is_regular_file()) files.push_back(fs::relative(item.path(), tree));
    }
    std::sort(files.begin(), files.end());
    if (mode == "pack") {
        int out = ::open(argv[3], O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (out < 0) return 1;
        for (const fs::path& file : files) {
            int in = ::open((tree / file).c_str(), O_RDONLY);
            struct stat st {};
            off_t at = 0;
            if (in < 0 || ::fstat(in, &st) != 0 || !copy(in, &at, out, st.st_size)) return 1;
            ::close(in);
        }
        return ::close(out) == 0 ? 0 : 1;
    }
    if (mode == "extract" && argc == 5) {
        int in = ::open(argv[3], O_RDONLY);
        if (in < 0) return 1;
        const fs::path root = argv[4];
        off_t at = 0;
        for (const fs::path& file : files) {
            fs::create_directories(root / file.parent_path());
            int out = ::open((root / file).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || !copy(in, &at, out, static_cast<off_t>(fs::file_size(tree / file)))) return 1;
            ::close(out);
        }
        return 0;
    }
    return 2;
}
