// An edit is recorded as a list of operations and worked out only by plan(): each operation in
// the order it was made, over slots that stand for the source's entries and the added files.
// write() lays the result out as pack does (header, data, directory, names) and copies the data
// of every unchanged entry from the source file, contiguous entries in one run.

#include "packer/archiveedit.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <utility>

#include "archive/packcheck.h"
#include "archive/podformat.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "packer/presets.h"
#include "packer/sourcelist.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/folderorder.h"
#include "platform/inplace.h"
#include "platform/messages.h"
#include "platform/outputfile.h"

namespace quillomar {

namespace {

using ProblemKind = PackProblem::Kind;

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFF;

// A file found by add(): where its bytes are, and the name it is stored under.
struct HostFile {
    std::string path;
    std::string relative;  // below the archive's top, host form ('/' separators)
    std::uint64_t size = 0;
    FileTime time = 0;
};

struct Operation {
    enum class Kind { Add, Remove, Rename, RenameFolder };
    Kind kind = Kind::Add;
    std::size_t entry = 0;          // Remove, Rename
    std::string name;               // Rename: the new name; RenameFolder: the folder
    std::string newName;            // RenameFolder: the new folder
    std::vector<HostFile> files;    // Add
    std::vector<Failure> failures;  // Add: what could not be read or listed
};

// One entry of the result, or one of the source that is left out.
struct Slot {
    static constexpr std::size_t kAdded = static_cast<std::size_t>(-1);
    std::size_t entry = kAdded;  // position in the source's entries
    std::string name;            // stored name in the result
    std::string oldName;         // the source's name, when renamed
    const HostFile* file = nullptr;  // the data's file, when added or replaced
    bool removed = false;
    bool renamed = false;

    bool touched() const { return file != nullptr || renamed; }
};

// Stored names compare as the archive's readers find them: case ignored in the code page, either
// separator.
std::string nameKey(std::string_view stored) {
    std::string key = archiveCodePage().upper(stored);
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

// The position pack gives a stored name: the scan lists each folder's names in NTFS order and
// enters a sub-folder where its name falls among the others, so names compare folder by folder.
using OrderKey = std::vector<std::pair<std::u16string, std::string>>;

OrderKey orderKey(std::string_view stored) {
    const CodePage& page = archiveCodePage();
    OrderKey key;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = stored.find_first_of("\\/", start);
        const std::string_view part = stored.substr(start, end == std::string_view::npos ? end : end - start);
        // The scan sorts host names; a stored name's characters upper-case to the same key.
        key.emplace_back(folderOrderKey(page.toUtf8(part)), std::string(part));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return key;
}

// A name as a user types it ('/' or '\' between folders) in host form, or EINVAL for one with an
// empty, "." or ".." component, which would not extract under its own name.
std::optional<std::string> typedName(std::string_view typed) {
    std::string name(typed);
    std::replace(name.begin(), name.end(), '\\', '/');
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('/', start);
        const std::string_view part =
            std::string_view(name).substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") return std::nullopt;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return name;
}

// Why a name cannot be stored, as pack says it of a host path (path: how the problem names it).
PackProblem storedNameProblem(const StoredNameResult& stored, std::string path, std::string_view utf8) {
    ProblemKind kind = stored.error == EILSEQ ? ProblemKind::NotInCodePage : ProblemKind::BadName;
    std::uint64_t length = 0;
    if (stored.error == ENAMETOOLONG) {
        kind = ProblemKind::NameTooLong;
        length = archiveCodePage().fromUtf8(utf8).value_or(std::string(utf8)).size();
    }
    return {kind, stored.error, std::move(path), {}, length};
}

// The stored name of a name as typed, trailing separators aside.
StoredNameResult storedFromTyped(std::string typed) {
    while (typed.size() > 1 && (typed.back() == '/' || typed.back() == '\\')) typed.pop_back();
    const std::optional<std::string> host = typedName(typed);
    return host ? storedNameFromHostPath(*host) : StoredNameResult{std::nullopt, EINVAL};
}

Failure failureOf(const PackProblem& problem) {
    return Failure::system(problem.error, packProblemPaths(problem), describePackProblem(problem));
}

}  // namespace

struct ArchiveEdit::Destination {
    std::string path;     // the file written
    bool inPlace = true;  // replaces the source's file
    Failure failure;      // why it cannot be known
};

struct ArchiveEdit::State {
    std::string output;
    std::vector<Operation> operations;
    std::optional<std::string> description, author, copyright;
    std::optional<std::int32_t> priority;
};

// A plan with the layout write() follows.
struct ArchiveEdit::Layout {
    EditPlan plan;
    std::vector<Slot> slots;           // every entry of the source, then the added files
    std::vector<std::size_t> order;    // the slots of the result, in its order
    PodHeader header;                  // the result's header, counts and offsets not yet set
    Destination destination;
};

ArchiveEdit::ArchiveEdit(const PodArchive& source) : source_(source), state_(std::make_unique<State>()) {}
ArchiveEdit::~ArchiveEdit() = default;

void ArchiveEdit::setOutput(std::string path) { state_->output = std::move(path); }

void ArchiveEdit::add(const std::string& hostPath, const std::string& relativeName) {
    Operation& operation = state_->operations.emplace_back();
    operation.kind = Operation::Kind::Add;
    const std::optional<FileStatus> status = fileStatus(hostPath);
    if (!status) {
        operation.failures.push_back(Failure::system(errno, hostPath));
        return;
    }
    if (status->kind == FileKind::Regular) {
        operation.files.push_back({hostPath, relativeName, status->size, status->modified});
        return;
    }
    if (status->kind != FileKind::Folder) {
        operation.failures.push_back(Failure::system(EINVAL, hostPath, "neither a regular file nor a folder"));
        return;
    }
    SourceList list;
    list.resetScan(hostPath);
    list.scanFolder(hostPath, nullptr, {}, UnlistedFolders::Kept);
    operation.failures = std::move(list.unlisted);
    const auto prefix = static_cast<std::size_t>(list.prefixLength);
    for (SourceFile& file : list.files) {
        std::string below = file.name.substr(std::min(prefix, file.name.size()));
        std::string relative = relativeName.empty() ? std::move(below) : relativeName + "/" + below;
        operation.files.push_back({std::move(file.name), std::move(relative), file.diskSize, file.time});
    }
}

void ArchiveEdit::remove(std::size_t entryIndex) {
    Operation& operation = state_->operations.emplace_back();
    operation.kind = Operation::Kind::Remove;
    operation.entry = entryIndex;
}

void ArchiveEdit::rename(std::size_t entryIndex, const std::string& newName) {
    Operation& operation = state_->operations.emplace_back();
    operation.kind = Operation::Kind::Rename;
    operation.entry = entryIndex;
    operation.name = newName;
}

void ArchiveEdit::renameFolder(const std::string& folder, const std::string& newFolder) {
    Operation& operation = state_->operations.emplace_back();
    operation.kind = Operation::Kind::RenameFolder;
    operation.name = folder;
    operation.newName = newFolder;
}

void ArchiveEdit::setDescription(std::string text) { state_->description = std::move(text); }
void ArchiveEdit::setAuthor(std::string text) { state_->author = std::move(text); }
void ArchiveEdit::setCopyright(std::string text) { state_->copyright = std::move(text); }
void ArchiveEdit::setPriority(std::int32_t priority) { state_->priority = priority; }

EditPlan ArchiveEdit::plan() const { return layout().plan; }

std::string ArchiveEdit::targetPath() const { return destination().path; }

ArchiveEdit::Destination ArchiveEdit::destination() const {
    Destination destination;
    if (!state_->output.empty()) {
        destination.path = state_->output;
        destination.inPlace = false;
        // Another name of the source's own file is an edit in place.
        const std::optional<FileStatus> output = fileStatus(state_->output);
        const std::optional<FileStatus> source = fileStatus(source_.path());
        if (!output || !source || output->id != source->id) return destination;
    }
    Result<std::string> target = linkTarget(source_.path());
    if (!target) {
        destination.path = source_.path();
        destination.failure = target.failure();
        return destination;
    }
    destination.path = *target;
    return destination;
}

ArchiveEdit::Layout ArchiveEdit::layout() const {
    Layout layout;
    layout.destination = destination();
    // Every problem in the order found: pack's kinds in pack's words, the others as they are.
    std::vector<Failure>& problems = layout.plan.problems;
    auto problem = [&](const PackProblem& found) { problems.push_back(failureOf(found)); };
    auto failure = [&](Failure found) { problems.push_back(std::move(found)); };

    const std::vector<ArchiveEntry>& entries = source_.entries();
    std::vector<Slot>& slots = layout.slots;
    slots.reserve(entries.size());
    std::unordered_map<std::string, std::vector<std::size_t>> byKey;  // live slots by name key
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Slot& slot = slots.emplace_back();
        slot.entry = i;
        slot.name = entries[i].name;
        byKey[nameKey(slot.name)].push_back(i);
    }
    auto unlink = [&](std::size_t index) {
        std::vector<std::size_t>& holders = byKey[nameKey(slots[index].name)];
        holders.erase(std::remove(holders.begin(), holders.end(), index), holders.end());
    };
    auto shownName = [&](std::size_t index) {
        return slots[index].file != nullptr ? slots[index].file->path : storedNameForMessage(slots[index].name);
    };
    auto liveEntry = [&](std::size_t index) -> bool {
        if (index < entries.size() && !slots[index].removed) return true;
        failure(Failure::system(ENOENT, source_.path(), formatString("no entry %zu", index + 1)));
        return false;
    };
    auto renameSlot = [&](std::size_t index, std::string stored) {
        Slot& slot = slots[index];
        if (stored == slot.name) return;
        unlink(index);
        if (!slot.renamed) slot.oldName = slot.name;
        slot.renamed = slot.entry != Slot::kAdded;
        slot.name = std::move(stored);
        byKey[nameKey(slot.name)].push_back(index);
    };

    for (const Operation& operation : state_->operations) {
        switch (operation.kind) {
            case Operation::Kind::Add:
                for (const Failure& unreadable : operation.failures) failure(unreadable);
                for (const HostFile& file : operation.files) {
                    if (file.size > kMaxFileSize)
                        problem({ProblemKind::FileTooLarge, EFBIG, file.path, {}, file.size});
                    StoredNameResult stored = file.relative.empty() ? StoredNameResult{std::nullopt, EINVAL}
                                                                    : storedNameFromHostPath(file.relative);
                    if (!stored.name) {
                        problem(storedNameProblem(stored, file.path, file.relative));
                        continue;
                    }
                    std::vector<std::size_t>& holders = byKey[nameKey(*stored.name)];
                    // Two files of this edit for one name: pack refuses the same.
                    const auto earlier = std::find_if(holders.begin(), holders.end(),
                                                      [&](std::size_t index) { return slots[index].file != nullptr; });
                    if (earlier != holders.end()) {
                        problem({ProblemKind::SameName, EEXIST, file.path, slots[*earlier].file->path, 0});
                        continue;
                    }
                    if (holders.empty()) {
                        Slot& slot = slots.emplace_back();
                        slot.name = std::move(*stored.name);
                        slot.file = &file;
                        holders.push_back(slots.size() - 1);
                    } else {
                        // An entry of that name takes the file's bytes and time and keeps its name.
                        for (std::size_t index : holders) slots[index].file = &file;
                    }
                }
                break;
            case Operation::Kind::Remove:
                if (!liveEntry(operation.entry)) break;
                unlink(operation.entry);
                slots[operation.entry].removed = true;
                break;
            case Operation::Kind::Rename: {
                if (!liveEntry(operation.entry)) break;
                StoredNameResult stored = storedFromTyped(operation.name);
                if (!stored.name) {
                    problem(storedNameProblem(stored, operation.name, operation.name));
                    break;
                }
                // A change of case alone leaves the name as stored: names are kept in upper case.
                if (nameKey(*stored.name) != nameKey(slots[operation.entry].name)) {
                    renameSlot(operation.entry, std::move(*stored.name));
                }
                break;
            }
            case Operation::Kind::RenameFolder: {
                const StoredNameResult fromStored = storedFromTyped(operation.name);
                std::vector<std::size_t> below;
                if (fromStored.name) {
                    const std::string prefix = nameKey(*fromStored.name) + '\\';
                    for (std::size_t index = 0; index < slots.size(); ++index) {
                        if (!slots[index].removed && nameKey(slots[index].name).starts_with(prefix))
                            below.push_back(index);
                    }
                }
                if (below.empty()) {
                    failure(Failure::system(ENOENT, operation.name, "no entry lies below this folder"));
                    break;
                }
                const StoredNameResult to = storedFromTyped(operation.newName);
                if (!to.name) {
                    problem(storedNameProblem(to, operation.newName, operation.newName));
                    break;
                }
                const std::size_t keep = fromStored.name->size() + 1;
                for (std::size_t index : below) {
                    std::string name = *to.name + '\\' + slots[index].name.substr(keep);
                    if (name.size() > kMaxStoredNameLength) {
                        problem({ProblemKind::NameTooLong, ENAMETOOLONG, storedNameForMessage(name), {}, name.size()});
                        continue;
                    }
                    renameSlot(index, std::move(name));
                }
                break;
            }
        }
    }

    // Clashes the edit makes: a name twice, or a file where a folder is. Those the source already
    // had between entries this edit leaves alone are not its to judge.
    std::unordered_map<std::string, std::size_t> fileNamed, folderAny, folderTouched;
    std::vector<std::string> keys(slots.size());
    for (std::size_t index = 0; index < slots.size(); ++index) {
        if (slots[index].removed) continue;
        keys[index] = nameKey(slots[index].name);
        const std::string& key = keys[index];
        const auto [earlier, inserted] = fileNamed.emplace(key, index);
        if (!inserted && (slots[index].touched() || slots[earlier->second].touched())) {
            // An added file of an entry's name replaces it; only a renamed one can land on a name.
            problem({ProblemKind::SameName, EEXIST, shownName(index), shownName(earlier->second), 0});
        }
        for (std::size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
            folderAny.emplace(key.substr(0, slash), index);
            if (slots[index].touched()) folderTouched.emplace(key.substr(0, slash), index);
        }
    }
    for (std::size_t index = 0; index < slots.size(); ++index) {
        if (slots[index].removed) continue;
        const auto& folders = slots[index].touched() ? folderAny : folderTouched;
        const auto folder = folders.find(keys[index]);
        if (folder == folders.end()) continue;
        problem({ProblemKind::FileAndFolder, EEXIST, shownName(index), shownName(folder->second), 0});
    }

    // The result's order.
    std::vector<std::size_t>& order = layout.order;
    std::vector<OrderKey> sortKeys(slots.size());
    bool packOrder = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        sortKeys[i] = orderKey(entries[i].name);
        if (i > 0 && packOrder) packOrder = sortKeys[i - 1] < sortKeys[i];
    }
    for (std::size_t index = 0; index < slots.size(); ++index) {
        if (index >= entries.size() || slots[index].renamed) sortKeys[index] = orderKey(slots[index].name);
    }
    auto byPackOrder = [&](std::size_t a, std::size_t b) { return sortKeys[a] < sortKeys[b]; };
    for (std::size_t index = 0; index < slots.size(); ++index) {
        if (!slots[index].removed) order.push_back(index);
    }
    if (packOrder) {
        std::stable_sort(order.begin(), order.end(), byPackOrder);
    } else {
        const auto added = std::find_if(order.begin(), order.end(),
                                        [&](std::size_t index) { return slots[index].entry == Slot::kAdded; });
        std::stable_sort(added, order.end(), byPackOrder);
    }

    // Sizes.
    EditPlan& plan = layout.plan;
    plan.archiveSize = kPod3HeaderSize;
    for (std::size_t index : order) {
        const Slot& slot = slots[index];
        const std::uint64_t size =
            slot.file != nullptr ? slot.file->size : static_cast<std::uint32_t>(entries[slot.entry].size);
        plan.archiveSize += size + kDirectoryRecordSize + slot.name.size() + 1;
    }
    plan.entryCount = order.size();
    if (plan.archiveSize > kMaxArchiveSize) {
        problem({ProblemKind::ArchiveTooLarge, EFBIG, layout.destination.path, {}, plan.archiveSize});
    }

    // The header: the source's, with the fields set; a POD2 header gains pack's presets.
    const PodHeader& old = source_.header();
    PodHeader& header = layout.header;
    const bool pod2 = source_.version() == ArchiveVersion::Pod2;
    header = old;
    if (pod2) {
        header = PodHeader{};
        header.description = old.description;
        header.word96 = kHeaderWord96Value;
        header.word280 = kHeaderWord280Value;
        header.priority = kDropPresets.priority;
        header.author = makeHeaderText(archiveCodePage().fromUtf8(kDropPresets.author).value_or(std::string()));
        header.copyright =
            makeHeaderText(archiveCodePage().fromUtf8(kDropPresets.copyright).value_or(std::string()));
    }
    std::copy(kMagicPod3.begin(), kMagicPod3.end(), header.magic.begin());
    const std::tuple<const std::optional<std::string>&, HeaderText&, const char*> texts[] = {
        {state_->description, header.description, "description"},
        {state_->author, header.author, "author"},
        {state_->copyright, header.copyright, "copyright"}};
    for (const auto& [text, field, fieldName] : texts) {
        if (!text) continue;
        const std::optional<std::string> bytes = archiveCodePage().fromUtf8(*text);
        if (!bytes) {
            problem({ProblemKind::BadHeaderText, EILSEQ, fieldName, {}, 0});
            continue;
        }
        field = makeHeaderText(*bytes);
    }
    if (state_->priority) header.priority = *state_->priority;
    plan.headerChanged = pod2 || header.description != old.description || header.author != old.author ||
                         header.copyright != old.copyright || header.priority != old.priority;

    // Where it goes.
    const Destination& destination = layout.destination;
    if (destination.failure.failed()) {
        failure(destination.failure);
    } else if (destination.inPlace) {
        if (pod2) {
            failure(Failure::system(EPERM, destination.path,
                                    "a POD2 archive is only read; -o OUT writes the edited archive to a new POD3 file"));
        }
        if (Failure kept = checkReplaceable(destination.path); kept.failed()) failure(std::move(kept));
        if (Failure closed = checkFolderWritable(parentFolder(destination.path), destination.path); closed.failed())
            failure(std::move(closed));
    } else {
        if (fileStatus(destination.path, false)) {
            failure(Failure::system(EEXIST, destination.path, "an existing file is not replaced"));
        } else if (Failure closed = checkFolderWritable(parentFolder(destination.path), destination.path);
                   closed.failed()) {
            failure(std::move(closed));
        }
    }

    // What changes.
    for (const Slot& slot : slots) {
        if (!slot.removed) continue;
        plan.changes.push_back({EditChange::Kind::Removed, slot.name, {}, {}});
        ++plan.removed;
    }
    for (std::size_t index : order) {
        const Slot& slot = slots[index];
        if (slot.renamed) {
            plan.changes.push_back({EditChange::Kind::Renamed, slot.name, slot.oldName, {}});
            ++plan.renamed;
        }
        if (slot.file != nullptr) {
            const bool added = slot.entry == Slot::kAdded;
            plan.changes.push_back(
                {added ? EditChange::Kind::Added : EditChange::Kind::Replaced, slot.name, {}, slot.file->path});
            ++(added ? plan.added : plan.replaced);
        }
    }
    return layout;
}

Failure ArchiveEdit::write(ProgressSink* progress, const std::function<void()>& beforePublish) {
    const Layout layout = this->layout();
    const EditPlan& plan = layout.plan;
    if (!plan.problems.empty()) return plan.problems.front();
    const std::string& target = layout.destination.path;
    const std::vector<ArchiveEntry>& entries = source_.entries();

    // The raw records of the source: an entry that is kept keeps its timestamp word and the rest.
    const std::uint64_t directoryStart =
        source_.version() == ArchiveVersion::Pod3 ? std::uint64_t{source_.header().directoryOffset} : kPod2HeaderSize;
    std::vector<std::byte> records(entries.size() * kDirectoryRecordSize);
    if (source_.readFileBytes(directoryStart, records) != static_cast<std::int64_t>(records.size())) {
        return source_.failure().failed() ? source_.failure() : Failure::message(kMsgDamagedArchive, source_.path());
    }
    auto sourceRecord = [&](std::size_t entry) {
        return decodeDirectoryRecord(
            std::span<const std::byte>(records).subspan(entry * kDirectoryRecordSize).first<kDirectoryRecordSize>());
    };

    // What a killed edit left beside the archive goes first.
    const std::string folder = parentFolder(target);
    if (const int folderFd = openFolder(folder); folderFd >= 0) {
        sweepLeftovers(folderFd);
        closeFolder(folderFd);
    }

    Result<PendingFile> created = PendingFile::create(target, true);
    if (!created) return created.failure();
    PendingFile& pending = *created;
    File& out = pending.file();
    auto failed = [&](Failure failure) {
        pending.discard();
        return failure;
    };
    if (!out.seek(kPod3HeaderSize)) return failed(out.failure());

    if (progress != nullptr) progress->setRange(0, static_cast<int>(layout.order.size()));
    std::vector<std::byte> directory;
    std::vector<std::byte> names;
    directory.reserve(layout.order.size() * kDirectoryRecordSize);
    std::uint64_t offset = kPod3HeaderSize;
    CopyMethod method;

    // Entries whose data lie back to back in the source go over in one copy.
    std::uint64_t runStart = 0;
    std::uint64_t runLength = 0;
    int runEntries = 0;
    auto copyRun = [&]() -> Failure {
        if (runLength > 0) {
            const CopyResult copied = source_.copyFileBytes(runStart, runLength, out, &method);
            if (copied.failure.failed()) return copied.failure;
            if (copied.copied != runLength) return Failure::message(kMsgDamagedArchive, source_.path());
        }
        if (progress != nullptr) {
            for (; runEntries > 0; --runEntries) progress->step();
        }
        runLength = 0;
        runEntries = 0;
        return {};
    };

    for (std::size_t index : layout.order) {
        const Slot& slot = layout.slots[index];
        DirectoryRecord record;
        if (slot.entry != Slot::kAdded) record = sourceRecord(slot.entry);
        if (slot.file != nullptr) {
            if (Failure copied = copyRun(); copied.failed()) return failed(std::move(copied));
            File file = File::openRead(slot.file->path);
            if (!file.valid()) return failed(file.failure());
            const CopyResult copied = copyRange(file, 0, out, slot.file->size, &method);
            file.abandon();  // only read from
            if (copied.failure.failed()) return failed(copied.failure);
            // A file that became shorter since it was added would leave the directory wrong.
            if (copied.copied != slot.file->size) return failed(Failure::system(ENODATA, slot.file->path));
            record.size = static_cast<std::int32_t>(static_cast<std::uint32_t>(slot.file->size));
            record.timestamp = encodeTimestamp(slot.file->time);
            record.reserved = 0;
            if (progress != nullptr) progress->step();
        } else {
            const ArchiveEntry& entry = entries[slot.entry];
            const std::uint64_t start = static_cast<std::uint32_t>(entry.offset);
            const std::uint64_t size = static_cast<std::uint32_t>(entry.size);
            if (runLength > 0 && runStart + runLength != start) {
                if (Failure copied = copyRun(); copied.failed()) return failed(std::move(copied));
            }
            if (runLength == 0) runStart = start;
            runLength += size;
            ++runEntries;
        }
        record.nameOffset = static_cast<std::uint32_t>(names.size());
        record.dataOffset = static_cast<std::int32_t>(static_cast<std::uint32_t>(offset));
        offset += static_cast<std::uint32_t>(record.size);
        directory.resize(directory.size() + kDirectoryRecordSize);
        encodeDirectoryRecord(record, std::span(directory).last<kDirectoryRecordSize>());
        const auto* nameBytes = reinterpret_cast<const std::byte*>(slot.name.data());
        names.insert(names.end(), nameBytes, nameBytes + slot.name.size());
        names.push_back(std::byte{0});
    }
    if (Failure copied = copyRun(); copied.failed()) return failed(std::move(copied));

    PodHeader header = layout.header;
    header.entryCount = static_cast<std::int32_t>(layout.order.size());
    header.directoryOffset = static_cast<std::uint32_t>(offset);
    header.namesSize = static_cast<std::uint32_t>(names.size());
    if (!out.writeAll(directory) || !out.writeAll(names) || !out.writeAt(0, encodeHeader(header)))
        return failed(out.failure());

    // The edited archive is the same file to its users: same permissions (and owner, where allowed).
    if (layout.destination.inPlace) {
        if (Failure kept = copyPermissions(target, out); kept.failed()) return failed(std::move(kept));
    }
    if (beforePublish) beforePublish();
    return pending.publish(layout.destination.inPlace ? Publish::Replace : Publish::NoReplace, true);
}

}  // namespace quillomar
