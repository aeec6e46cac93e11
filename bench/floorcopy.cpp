// The floor under packing and extracting: the same bytes moved with no archive format at all, by
// one named way of copying, so that the benchmark can time each and keep the fastest.
//   floorcopy pack METHOD TREE FILE      every file of TREE (sorted paths) appended to FILE; the
//                                        paths and sizes go to FILE.index for the extract
//   floorcopy extract METHOD FILE OUT    FILE cut back into its files under OUT (by FILE.index)
// METHOD:  copy_file_range  the kernel copies file to file (refused between file systems here)
//          sendfile         the kernel copies through the page cache, file to file
//          splice           the kernel moves pages through a pipe (1 MiB where allowed)
//          buffer           large user-space buffers: small files gathered and written 8 MiB at
//                           a time, the archive read 8 MiB at a time on the way out
// Exit status: 0 done, 1 a copy failed, 2 usage, 3 the method is not offered between these files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

enum class Method { CopyFileRange, Sendfile, Splice, Buffer };

constexpr std::size_t kBufferSize = std::size_t{8} << 20;
constexpr int kNotOffered = 3;

struct Item {
    std::string path;  // relative to the tree
    off_t size;
};

[[noreturn]] void die(int status, const std::string& what) {
    std::fprintf(stderr, "floorcopy: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(status);
}

// Every regular file under dir, by the type the folder listing gives (a stat only where it gives none).
void scan(const std::string& root, const std::string& relative, std::vector<Item>& items) {
    const std::string dirPath = relative.empty() ? root : root + "/" + relative;
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr) die(1, dirPath);
    const int dirFd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        if (::fstatat(dirFd, item->d_name, &info, 0) != 0) die(1, path);
        if (S_ISDIR(info.st_mode)) {
            scan(root, path, items);
        } else if (S_ISREG(info.st_mode)) {
            items.push_back({path, info.st_size});
        }
    }
    ::closedir(dir);
}

class Copier {
public:
    explicit Copier(Method method) : method_(method) {
        if (method_ == Method::Splice) {
            if (::pipe2(pipe_, O_CLOEXEC) != 0) die(1, "pipe");
            ::fcntl(pipe_[1], F_SETPIPE_SZ, 1 << 20);  // the default 64 KiB where refused
        }
        if (method_ == Method::Buffer) buffer_.reset(new char[kBufferSize]);
    }

    // Copies length bytes of from at *offset to the current position of to.
    void copy(int from, off_t* offset, int to, off_t length) {
        while (length > 0) {
            const auto want = static_cast<std::size_t>(std::min<off_t>(length, off_t{1} << 30));
            ssize_t n = -1;
            switch (method_) {
                case Method::CopyFileRange:
                    n = ::copy_file_range(from, offset, to, nullptr, want, 0);
                    if (n < 0 && (errno == EXDEV || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL))
                        die(kNotOffered, "copy_file_range");
                    break;
                case Method::Sendfile:
                    n = ::sendfile(to, from, offset, want);
                    if (n < 0 && (errno == EINVAL || errno == ENOSYS)) die(kNotOffered, "sendfile");
                    break;
                case Method::Splice:
                    n = spliceThrough(from, offset, to, want);
                    break;
                case Method::Buffer:
                    n = ::pread(from, buffer_.get(), std::min(want, kBufferSize), *offset);
                    if (n > 0) {
                        writeAll(to, buffer_.get(), static_cast<std::size_t>(n));
                        *offset += n;
                    }
                    break;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) die(1, "copy");
            length -= n;
        }
    }

    // Pack with buffers: a whole small file is read straight into the gathering buffer.
    bool gathers(off_t size) const { return method_ == Method::Buffer && static_cast<std::size_t>(size) <= kBufferSize / 8; }
    void gather(int from, off_t size, int to) {
        if (used_ + static_cast<std::size_t>(size) > kBufferSize) flush(to);
        off_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(from, buffer_.get() + used_, static_cast<std::size_t>(size - done), done);
            if (n <= 0) die(1, "read");
            done += n;
            used_ += static_cast<std::size_t>(n);
        }
    }
    void flush(int to) {
        writeAll(to, buffer_.get(), used_);
        used_ = 0;
    }

    // Extract with buffers: the archive is read in large pieces, each file written from them.
    void copyOut(int archive, int to, off_t length) {
        while (length > 0) {
            if (at_ == have_) {
                const ssize_t n = ::read(archive, buffer_.get(), kBufferSize);
                if (n <= 0) die(1, "read");
                have_ = static_cast<std::size_t>(n);
                at_ = 0;
            }
            const std::size_t part = std::min(have_ - at_, static_cast<std::size_t>(length));
            writeAll(to, buffer_.get() + at_, part);
            at_ += part;
            length -= static_cast<off_t>(part);
        }
    }

    Method method() const { return method_; }

private:
    ssize_t spliceThrough(int from, off_t* offset, int to, std::size_t want) {
        const ssize_t in = ::splice(from, offset, pipe_[1], nullptr, std::min<std::size_t>(want, 1 << 20), SPLICE_F_MOVE);
        if (in < 0 && errno == EINVAL) die(kNotOffered, "splice");
        if (in <= 0) return in;
        ssize_t out = 0;
        while (out < in) {
            const ssize_t n = ::splice(pipe_[0], nullptr, to, nullptr, static_cast<std::size_t>(in - out), SPLICE_F_MOVE);
            if (n < 0 && errno == EINVAL) die(kNotOffered, "splice");
            if (n <= 0) die(1, "splice");
            out += n;
        }
        return in;
    }

    static void writeAll(int to, const char* data, std::size_t count) {
        while (count > 0) {
            const ssize_t n = ::write(to, data, count);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) die(1, "write");
            data += n;
            count -= static_cast<std::size_t>(n);
        }
    }

    Method method_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;            // gathered, for pack
    std::size_t have_ = 0, at_ = 0;   // read ahead and used of it, for extract
};

bool parseMethod(const std::string& name, Method& method) {
    if (name == "copy_file_range") method = Method::CopyFileRange;
    else if (name == "sendfile") method = Method::Sendfile;
    else if (name == "splice") method = Method::Splice;
    else if (name == "buffer") method = Method::Buffer;
    else return false;
    return true;
}

int pack(Copier& copier, const std::string& tree, const std::string& file) {
    std::vector<Item> items;
    scan(tree, "", items);
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.path < b.path; });
    const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) die(1, file);
    for (const Item& item : items) {
        const int in = ::open((tree + "/" + item.path).c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) die(1, item.path);
        if (copier.gathers(item.size)) {
            copier.gather(in, item.size, out);
        } else {
            if (copier.method() == Method::Buffer) copier.flush(out);
            off_t at = 0;
            copier.copy(in, &at, out, item.size);
        }
        ::close(in);
    }
    if (copier.method() == Method::Buffer) copier.flush(out);
    if (::close(out) != 0) die(1, file);
    // The index is the extract's directory; writing it is not part of the floor's work worth timing.
    std::ofstream index(file + ".index");
    for (const Item& item : items) index << item.size << ' ' << item.path << '\n';
    return index.good() ? 0 : 1;
}

int extract(Copier& copier, const std::string& file, const std::string& root) {
    std::vector<Item> items;
    std::ifstream index(file + ".index");
    Item item;
    while (index >> item.size && index.get() == ' ' && std::getline(index, item.path)) items.push_back(item);
    const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) die(1, file);
    if (::mkdir(root.c_str(), 0777) != 0 && errno != EEXIST) die(1, root);
    std::string madeFolder;  // the sorted paths come folder by folder
    off_t at = 0;
    for (const Item& each : items) {
        const std::size_t slash = each.path.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : each.path.substr(0, slash);
        if (!folder.empty() && folder != madeFolder) {
            for (std::size_t next = folder.find('/'); ; next = folder.find('/', next + 1)) {
                const std::string part = root + "/" + folder.substr(0, next);
                if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) die(1, part);
                if (next == std::string::npos) break;
            }
            madeFolder = folder;
        }
        const std::string path = root + "/" + each.path;
        const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0) die(1, path);
        if (copier.method() == Method::Buffer) {
            copier.copyOut(in, out, each.size);
        } else {
            copier.copy(in, &at, out, each.size);
        }
        if (::close(out) != 0) die(1, path);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Method method{};
    if (argc != 5 || !parseMethod(argv[2], method)) {
        std::fprintf(stderr, "usage: floorcopy pack|extract copy_file_range|sendfile|splice|buffer TREE|FILE FILE|OUT\n");
        return 2;
    }
    const std::string mode = argv[1];
    Copier copier(method);
    if (mode == "pack") return pack(copier, argv[3], argv[4]);
    if (mode == "extract") return extract(copier, argv[3], argv[4]);
    return 2;
}
