// Pending output files on Windows: always a hidden name beside the target (Windows has no unnamed
// files), published with MoveFileExW. Without MOVEFILE_REPLACE_EXISTING the move fails when
// anything has taken the final name; the replace path checks the target first and then replaces it.

#include "platform/outputfile.h"

#include <io.h>

#include <atomic>
#include <cerrno>
#include <cwchar>
#include <utility>

#include "platform/filesystem.h"
#include "platform/signalsafetable.h"
#include "platform/temporarycreation.h"
#include "platform/win/widepath.h"

namespace quillomar {

namespace {

// The registered temporaries, as full wide paths a console handler can delete without locks.
constexpr std::size_t kSlotPathSize = 1024;

struct Temporary {
    wchar_t path[kSlotPathSize] = {};
};

SignalSafeTable<Temporary, 32> temporaries;
std::atomic<std::uint64_t> temporaryCounter{0};

int registerTemporary(const std::wstring& path) {
    if (path.size() >= kSlotPathSize) return -1;  // left to the next run's sweep
    return temporaries.add([&](Temporary& slot) { std::wmemcpy(slot.path, path.c_str(), path.size() + 1); });
}

void unregisterTemporary(int& slot) { temporaries.remove(slot); }

std::string temporaryName() {
    return temporaryNameFor(GetCurrentProcessId(), win::processMark(),
                            temporaryCounter.fetch_add(1, std::memory_order_relaxed));
}

}  // namespace

void removeRegisteredTemporaries() noexcept {
    temporaries.forEachPublished([](const Temporary& temporary) { DeleteFileW(temporary.path); });
}

bool failsEveryLaterWrite(const Failure& failure) { return failure.error == ENOSPC || failure.error == EROFS; }

namespace {

// Why what stands at path may not be replaced (see checkReplaceable), ENOENT when nothing is
// there, or 0.
int replaceError(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win::failFromLastError();
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return ELOOP;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EISDIR;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EEXIST;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return EACCES;
    return 0;
}

}  // namespace

Failure checkReplaceable(const std::string& path) {
    const int error = replaceError(win::widePath(path));
    return error == 0 || error == ENOENT ? Failure() : Failure::system(error, path);
}

std::size_t sweepLeftovers(int folderFd) {
    const std::wstring folder = win::widePathIn(folderFd, "");
    std::size_t removed = 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW((folder + L".quillomar-*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::string name = win::toUtf8(found.cFileName);
        const TemporaryOwner owner = ownerOfTemporaryName(name);
        if (owner.pid == 0 || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        if (!win::processEnded(owner.pid, owner.mark)) continue;
        if (DeleteFileW((folder + found.cFileName).c_str())) ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

Result<PendingFile> PendingFile::create(int folderFd, std::string_view leaf, std::string path, UnnamedFile unnamed) {
    static_cast<void>(unnamed);  // no unnamed files here: always a hidden name
    PendingFile pending;
    pending.folderFd_ = folderFd;
    pending.leaf_ = leaf;
    pending.path_ = std::move(path);
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        std::string name = temporaryName();
        const std::wstring temporary = win::widePathIn(folderFd, name);
        // Registered before it exists, so that no moment passes in which Ctrl+C would leave it.
        const TemporaryCreation section;
        pending.slot_ = registerTemporary(temporary);
        HANDLE handle =
            CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            pending.file_ = File(win::descriptorFor(handle), pending.path_);
            if (!pending.file_.valid()) return pending.file_.failure();
            pending.temporary_ = std::move(name);
            return Result<PendingFile>(std::move(pending));
        }
        error = win::failFromLastError();
        unregisterTemporary(pending.slot_);
    }
    return Failure::system(error, pending.path_);
}

Result<PendingFile> PendingFile::create(const std::string& path, UnnamedFile unnamed) {
    const std::string folder = parentFolder(path);
    const std::size_t slash = path.find_last_of("/\\");
    const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    Result<FolderHandle> opened = openFolder(folder);
    if (!opened) return Failure::system(opened.failure().error, path);
    // What a killed run left beside the file under a hidden name goes first.
    sweepLeftovers(opened->fd());
    Result<PendingFile> pending = create(opened->fd(), leaf, path, unnamed);
    if (pending) pending->ownedFolder_ = std::move(*opened);
    return pending;
}

void PendingFile::discard() {
    file_.abandon();
    if (!temporary_.empty()) {
        DeleteFileW(win::widePathIn(folderFd_, temporary_).c_str());
        temporary_.clear();
    }
    unregisterTemporary(slot_);
}

const std::string& processMark() { return win::processMark(); }

bool processEnded(unsigned long pid, std::string_view mark) { return win::processEnded(pid, mark); }

Failure PendingFile::publish(Publish how, Flush flush) {
    const bool durable = flush == Flush::DataAndName;
    if (!file_.valid()) return Failure::system(EBADF, path_);
    auto fail = [this](int error) {
        discard();
        return Failure::system(error, path_);
    };
    if (durable && !FlushFileBuffers(win::handleOf(file_.fd()))) return fail(win::failFromLastError());
    if (!file_.close()) return fail(file_.failure().error);

    const std::wstring from = win::widePathIn(folderFd_, temporary_);
    const std::wstring to = win::widePathIn(folderFd_, leaf_);
    const DWORD writeThrough = durable ? MOVEFILE_WRITE_THROUGH : 0;
    // Tried without replacing first: a folder being filled has nothing to replace.
    if (!MoveFileExW(from.c_str(), to.c_str(), writeThrough)) {
        const DWORD error = GetLastError();
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED) ||
            how == Publish::NoReplace) {
            return fail(win::errnoFromWin32(error));
        }
        const int refused = replaceError(to);
        if (refused != 0 && refused != ENOENT) return fail(refused);
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | writeThrough))
            return fail(win::failFromLastError());
    }
    temporary_.clear();
    unregisterTemporary(slot_);
    return {};
}

}  // namespace quillomar
