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
    std::size_t entry = kAdded;      // position in the source's entries
    std::string name;                // stored name in the result
    std::string oldName;             // the source's name, when renamed
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
    std::vector<Slot> slots;         // every entry of the source, then the added files
    std::vector<std::size_t> order;  // the slots of the result, in its order
    PodHeader header;                // the result's header, counts and offsets not yet set
    Destination destination;
};

ArchiveEdit::ArchiveEdit(const PodArchive& source) : source_(source), state_(std::make_unique<State>()) {}
ArchiveEdit::ArchiveEdit(PodArchive& source) : source_(source), closable_(&source), state_(std::make_unique<State>()) {}
ArchiveEdit::~ArchiveEdit() = default;

void ArchiveEdit::setOutput(std::string path) { state_->output = std::move(path); }

void ArchiveEdit::add(const std::string& hostPath, const std::string& relativeName) {
    Operation& operation = state_->operations.emplace_back();
    operation.kind = Operation::Kind::Add;
    const Result<FileStatus> status = fileStatus(hostPath);
    if (!status) {
        operation.failures.push_back(status.failure());
        return;
    }
    // The archive is never stored in itself.
    const Result<FileStatus> archive = fileStatus(source_.path());
    auto isArchive = [&](const std::string& path, std::uint64_t size) {
        if (!archive || size != archive->size) return false;
        const Result<FileStatus> file = fileStatus(path);
        return file && file->id == archive->id;
    };
    if (status->kind == FileKind::Regular) {
        if (isArchive(hostPath, status->size)) {
            operation.failures.push_back(Failure::system(EINVAL, hostPath, "an archive cannot hold itself"));
            return;
        }
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
        // Passed over, as tar passes over its own archive in the folder it packs.
        if (isArchive(file.name, file.diskSize)) continue;
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
        const Result<FileStatus> output = fileStatus(state_->output);
        const Result<FileStatus> source = fileStatus(source_.path());
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

// Works an edit's operations out over the source, one step at a time, into a Layout. Every
// problem is kept in the order found: pack's kinds in pack's words, the others as they are.
class ArchiveEdit::Planner {
public:
    Planner(const PodArchive& source, const State& state, Layout& layout)
        : source_(source), entries_(source.entries()), state_(state), layout_(layout), slots_(layout.slots) {
        slots_.reserve(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            Slot& slot = slots_.emplace_back();
            slot.entry = i;
            slot.name = entries_[i].name;
            byKey_[nameKey(slot.name)].push_back(i);
        }
    }

    void apply(const Operation& operation) {
        switch (operation.kind) {
            case Operation::Kind::Add:
                for (const Failure& unreadable : operation.failures) failure(unreadable);
                for (const HostFile& file : operation.files) add(file);
                break;
            case Operation::Kind::Remove:
                if (!liveEntry(operation.entry)) break;
                unlink(operation.entry);
                slots_[operation.entry].removed = true;
                break;
            case Operation::Kind::Rename:
                rename(operation.entry, operation.name);
                break;
            case Operation::Kind::RenameFolder:
                renameFolder(operation.name, operation.newName);
                break;
        }
    }

    // Clashes the edit makes: a name twice, or a file where a folder is. Those the source already
    // had between entries this edit leaves alone are not its to judge.
    void findClashes() {
        std::unordered_map<std::string, std::size_t> fileNamed, folderAny, folderTouched;
        std::vector<std::string> keys(slots_.size());
        for (std::size_t index = 0; index < slots_.size(); ++index) {
            if (slots_[index].removed) continue;
            keys[index] = nameKey(slots_[index].name);
            const std::string& key = keys[index];
            const auto [earlier, inserted] = fileNamed.emplace(key, index);
            // An added file of an entry's name replaces it; only a renamed one lands on a name.
            if (!inserted && (slots_[index].touched() || slots_[earlier->second].touched())) {
                problem({ProblemKind::SameName, EEXIST, shownName(index), shownName(earlier->second), 0});
            }
            for (std::size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
                folderAny.emplace(key.substr(0, slash), index);
                if (slots_[index].touched()) folderTouched.emplace(key.substr(0, slash), index);
            }
        }
        for (std::size_t index = 0; index < slots_.size(); ++index) {
            if (slots_[index].removed) continue;
            const auto& folders = slots_[index].touched() ? folderAny : folderTouched;
            const auto folder = folders.find(keys[index]);
            if (folder == folders.end()) continue;
            problem({ProblemKind::FileAndFolder, EEXIST, shownName(index), shownName(folder->second), 0});
        }
    }

    // The result's order: pack's for a source in pack's order, else the source's with the added
    // entries after it.
    void order() {
        std::vector<OrderKey> sortKeys(slots_.size());
        bool packOrder = true;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            sortKeys[i] = orderKey(entries_[i].name);
            if (i > 0 && packOrder) packOrder = sortKeys[i - 1] < sortKeys[i];
        }
        for (std::size_t index = 0; index < slots_.size(); ++index) {
            if (index >= entries_.size() || slots_[index].renamed) sortKeys[index] = orderKey(slots_[index].name);
        }
        std::vector<std::size_t>& order = layout_.order;
        for (std::size_t index = 0; index < slots_.size(); ++index) {
            if (!slots_[index].removed) order.push_back(index);
        }
        auto byPackOrder = [&](std::size_t a, std::size_t b) { return sortKeys[a] < sortKeys[b]; };
        auto added = order.begin();
        if (!packOrder) {
            added = std::find_if(order.begin(), order.end(),
                                 [&](std::size_t index) { return slots_[index].entry == Slot::kAdded; });
        }
        std::stable_sort(added, order.end(), byPackOrder);
    }

    void measure() {
        EditPlan& plan = layout_.plan;
        plan.archiveSize = kPod3HeaderSize;
        for (std::size_t index : layout_.order) {
            const Slot& slot = slots_[index];
            const std::uint64_t size = slot.file != nullptr ? slot.file->size : entries_[slot.entry].size;
            plan.archiveSize += size + kDirectoryRecordSize + slot.name.size() + 1;
        }
        plan.entryCount = layout_.order.size();
        if (plan.archiveSize > kMaxArchiveSize) {
            problem({ProblemKind::ArchiveTooLarge, EFBIG, layout_.destination.path, {}, plan.archiveSize});
        }
    }

    // The source's header with the fields set; a POD2 header gains pack's presets for the rest.
    void makeHeader() {
        const PodHeader& old = source_.header();
        PodHeader& header = layout_.header;
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
            {state_.description, header.description, "description"},
            {state_.author, header.author, "author"},
            {state_.copyright, header.copyright, "copyright"}};
        for (const auto& [text, field, fieldName] : texts) {
            if (!text) continue;
            const std::optional<std::string> bytes = archiveCodePage().fromUtf8(*text);
            if (!bytes) {
                problem({ProblemKind::BadHeaderText, EILSEQ, fieldName, {}, 0});
                continue;
            }
            field = makeHeaderText(*bytes);
        }
        if (state_.priority) header.priority = *state_.priority;
        layout_.plan.headerChanged = pod2 || header.description != old.description || header.author != old.author ||
                                     header.copyright != old.copyright || header.priority != old.priority;
    }

    // Whether the result may be written where it goes.
    void checkDestination() {
        const Destination& destination = layout_.destination;
        if (destination.failure.failed()) {
            failure(destination.failure);
        } else if (destination.inPlace) {
            if (source_.version() == ArchiveVersion::Pod2) {
                failure(Failure::system(
                    EPERM, destination.path,
                    "a POD2 archive is only read; -o OUT writes the edited archive to a new POD3 file"));
            }
            if (Failure kept = checkReplaceable(destination.path); kept.failed()) failure(std::move(kept));
            if (Failure closed = checkFolderWritable(parentFolder(destination.path), destination.path);
                closed.failed()) {
                failure(std::move(closed));
            }
        } else if (fileStatus(destination.path, Links::NotFollowed).ok()) {
            failure(Failure::system(EEXIST, destination.path, "an existing file is not replaced"));
        } else if (Failure closed = checkFolderWritable(parentFolder(destination.path), destination.path);
                   closed.failed()) {
            failure(std::move(closed));
        }
    }

    // Removals in the source's order, then the other changes in the result's.
    void listChanges() {
        EditPlan& plan = layout_.plan;
        for (const Slot& slot : slots_) {
            if (!slot.removed) continue;
            plan.changes.push_back({EditChange::Kind::Removed, slot.name, {}, {}});
            ++plan.removed;
        }
        for (std::size_t index : layout_.order) {
            const Slot& slot = slots_[index];
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
    }

private:
    void problem(const PackProblem& found) { layout_.plan.problems.push_back(failureOf(found)); }
    void failure(Failure found) { layout_.plan.problems.push_back(std::move(found)); }

    // A file of the edit: a new entry, or the new bytes of the entries of its name.
    void add(const HostFile& file) {
        if (file.size > kMaxFileSize) problem({ProblemKind::FileTooLarge, EFBIG, file.path, {}, file.size});
        StoredNameResult stored =
            file.relative.empty() ? StoredNameResult{std::nullopt, EINVAL} : storedNameFromHostPath(file.relative);
        if (!stored.name) {
            problem(storedNameProblem(stored, file.path, file.relative));
            return;
        }
        std::vector<std::size_t>& holders = byKey_[nameKey(*stored.name)];
        // Two files of this edit for one name: pack refuses the same.
        const auto earlier = std::find_if(holders.begin(), holders.end(),
                                          [&](std::size_t index) { return slots_[index].file != nullptr; });
        if (earlier != holders.end()) {
            problem({ProblemKind::SameName, EEXIST, file.path, slots_[*earlier].file->path, 0});
            return;
        }
        if (!holders.empty()) {
            // An entry of that name takes the file's bytes and time and keeps its name.
            for (std::size_t index : holders) slots_[index].file = &file;
            return;
        }
        Slot& slot = slots_.emplace_back();
        slot.name = std::move(*stored.name);
        slot.file = &file;
        holders.push_back(slots_.size() - 1);
    }

    void rename(std::size_t entry, const std::string& typed) {
        if (!liveEntry(entry)) return;
        StoredNameResult stored = storedFromTyped(typed);
        if (!stored.name) {
            problem(storedNameProblem(stored, typed, typed));
            return;
        }
        // A change of case alone leaves the name as stored: names are kept in upper case.
        if (nameKey(*stored.name) != nameKey(slots_[entry].name)) renameSlot(entry, std::move(*stored.name));
    }

    void renameFolder(const std::string& typed, const std::string& typedNew) {
        const StoredNameResult from = storedFromTyped(typed);
        std::vector<std::size_t> below;
        if (from.name) {
            const std::string prefix = nameKey(*from.name) + '\\';
            for (std::size_t index = 0; index < slots_.size(); ++index) {
                if (!slots_[index].removed && nameKey(slots_[index].name).starts_with(prefix)) below.push_back(index);
            }
        }
        if (below.empty()) {
            failure(Failure::system(ENOENT, typed, "no entry lies below this folder"));
            return;
        }
        const StoredNameResult to = storedFromTyped(typedNew);
        if (!to.name) {
            problem(storedNameProblem(to, typedNew, typedNew));
            return;
        }
        // Moved into a folder that exists, the entries would mix with its own.
        const std::string target = nameKey(*to.name) + '\\';
        std::vector<bool> moved(slots_.size(), false);
        for (std::size_t index : below) moved[index] = true;
        for (std::size_t index = 0; index < slots_.size(); ++index) {
            if (slots_[index].removed || moved[index]) continue;
            if (!nameKey(slots_[index].name).starts_with(target)) continue;
            failure(Failure::system(EEXIST, typedNew, "a folder of this name exists already"));
            return;
        }
        const std::size_t keep = from.name->size() + 1;
        for (std::size_t index : below) {
            std::string name = *to.name + '\\' + slots_[index].name.substr(keep);
            if (name.size() > kMaxStoredNameLength) {
                problem({ProblemKind::NameTooLong, ENAMETOOLONG, storedNameForMessage(name), {}, name.size()});
                continue;
            }
            renameSlot(index, std::move(name));
        }
    }

    bool liveEntry(std::size_t index) {
        if (index < entries_.size() && !slots_[index].removed) return true;
        failure(Failure::system(ENOENT, source_.path(), formatString("no entry %zu", index + 1)));
        return false;
    }
    void unlink(std::size_t index) {
        std::vector<std::size_t>& holders = byKey_[nameKey(slots_[index].name)];
        holders.erase(std::remove(holders.begin(), holders.end(), index), holders.end());
    }
    void renameSlot(std::size_t index, std::string stored) {
        Slot& slot = slots_[index];
        unlink(index);
        // An added file only changes the name it is added under.
        if (!slot.renamed && slot.entry != Slot::kAdded) {
            slot.oldName = slot.name;
            slot.renamed = true;
        }
        slot.name = std::move(stored);
        byKey_[nameKey(slot.name)].push_back(index);
    }
    // How a problem names an entry: the file it comes from, or its stored name.
    std::string shownName(std::size_t index) const {
        return slots_[index].file != nullptr ? slots_[index].file->path : storedNameForMessage(slots_[index].name);
    }

    const PodArchive& source_;
    const std::vector<ArchiveEntry>& entries_;
    const State& state_;
    Layout& layout_;
    std::vector<Slot>& slots_;
    std::unordered_map<std::string, std::vector<std::size_t>> byKey_;  // live slots by name key
};

ArchiveEdit::Layout ArchiveEdit::layout() const {
    Layout layout;
    layout.destination = destination();
    Planner planner(source_, *state_, layout);
    for (const Operation& operation : state_->operations) planner.apply(operation);
    planner.findClashes();
    planner.order();
    planner.measure();
    planner.makeHeader();
    planner.checkDestination();
    planner.listChanges();
    return layout;
}

// The source's directory records as its file holds them: an entry that is kept keeps its
// timestamp word and the rest.
Result<std::vector<std::byte>> ArchiveEdit::readSourceRecords() const {
    const std::uint64_t directoryStart =
        source_.version() == ArchiveVersion::Pod3 ? std::uint64_t{source_.header().directoryOffset} : kPod2HeaderSize;
    std::vector<std::byte> records(source_.entries().size() * kDirectoryRecordSize);
    const ReadResult read = source_.readFileBytes(directoryStart, records);
    if (read.count != static_cast<std::int64_t>(records.size())) {
        return read.failure.failed() ? read.failure : Failure::message(kMsgDamagedArchive, source_.path());
    }
    return records;
}

namespace {

// The result's data, written in its order after the space left for the header, with the
// directory and the names that describe it. Entries whose data lie back to back in the source go
// over in one copy; progress steps once per entry, when its bytes are out.
class ResultData {
public:
    ResultData(const PodArchive& source, File& out, ProgressSink* progress, std::size_t count)
        : source_(source), out_(out), progress_(progress) {
        tables_.directory.reserve(count * kDirectoryRecordSize);
    }

    // An added or replaced file, whole as add() found it; record holds the source entry's fields
    // for a replaced one.
    Failure addFile(const HostFile& file, DirectoryRecord record, const std::string& name) {
        if (Failure copied = copyRun(); copied.failed()) return copied;
        File source = File::openRead(file.path);
        if (!source.valid()) return source.failure();
        const CopyResult copied = copyRange(source, 0, out_, file.size, &method_);
        source.abandon();  // only read from
        if (copied.failure.failed()) return copied.failure;
        // A file that became shorter since it was added would leave the directory wrong.
        if (copied.copied != file.size) return Failure::system(ENODATA, file.path);
        record.size = static_cast<std::uint32_t>(file.size);
        record.timestamp = encodeTimestamp(file.time);
        record.reserved = 0;
        if (progress_ != nullptr) progress_->step();
        addRecord(record, name);
        return {};
    }

    // An entry kept with its source record: its bytes join the pending run when they follow it.
    Failure addEntry(const ArchiveEntry& entry, const DirectoryRecord& record, const std::string& name) {
        const std::uint64_t start = entry.offset;
        if (runLength_ > 0 && runStart_ + runLength_ != start) {
            if (Failure copied = copyRun(); copied.failed()) return copied;
        }
        if (runLength_ == 0) runStart_ = start;
        runLength_ += entry.size;
        ++runEntries_;
        addRecord(record, name);
        return {};
    }

    // The run still pending, then the directory and the names; the header, its counts and
    // offsets set, goes over the space left for it last.
    Failure finish(PodHeader header) {
        if (Failure copied = copyRun(); copied.failed()) return copied;
        header.entryCount = tables_.count();
        header.directoryOffset = static_cast<std::uint32_t>(offset_);
        header.namesSize = static_cast<std::uint32_t>(tables_.names.size());
        if (!out_.writeAll(tables_.directory) || !out_.writeAll(tables_.names) ||
            !out_.writeAt(0, encodeHeader(header)))
            return out_.failure();
        return {};
    }

private:
    Failure copyRun() {
        if (runLength_ > 0) {
            const CopyResult copied = source_.copyFileBytes(runStart_, runLength_, out_, &method_);
            if (copied.failure.failed()) return copied.failure;
            if (copied.copied != runLength_) return Failure::message(kMsgDamagedArchive, source_.path());
        }
        if (progress_ != nullptr) {
            for (; runEntries_ > 0; --runEntries_) progress_->step();
        }
        runLength_ = 0;
        runEntries_ = 0;
        return {};
    }

    // The record of data stored at the current end, and its name.
    void addRecord(DirectoryRecord record, const std::string& name) {
        record.dataOffset = static_cast<std::uint32_t>(offset_);
        offset_ += record.size;
        tables_.add(record, name);
    }

    const PodArchive& source_;
    File& out_;
    ProgressSink* progress_;
    CopyMethod method_;
    DirectoryTables tables_;
    std::uint64_t offset_ = kPod3HeaderSize;  // where the next entry's data goes
    std::uint64_t runStart_ = 0;
    std::uint64_t runLength_ = 0;
    int runEntries_ = 0;
};

}  // namespace

// Everything but the name: header, data, directory and names, in the result's order.
Failure ArchiveEdit::writeResult(const Layout& layout, std::span<const std::byte> records, File& out,
                                 ProgressSink* progress) const {
    if (!out.seek(kPod3HeaderSize)) return out.failure();
    if (progress != nullptr) progress->setRange(0, static_cast<int>(layout.order.size()));
    ResultData data(source_, out, progress, layout.order.size());
    for (std::size_t index : layout.order) {
        const Slot& slot = layout.slots[index];
        DirectoryRecord record;
        if (slot.entry != Slot::kAdded) {
            record =
                decodeDirectoryRecord(records.subspan(slot.entry * kDirectoryRecordSize).first<kDirectoryRecordSize>());
        }
        Failure added = slot.file != nullptr ? data.addFile(*slot.file, record, slot.name)
                                             : data.addEntry(source_.entries()[slot.entry], record, slot.name);
        if (added.failed()) return added;
    }
    return data.finish(layout.header);
}

// Gives the written result its name: a new file beside the source, or the source's own place
// with the source's permissions.
Failure ArchiveEdit::publish(PendingFile& pending, const Destination& destination) {
    if (!destination.inPlace) return pending.publish(Publish::NoReplace, Flush::DataAndName);
    // The edited archive is the same file to its users: same permissions (and owner, where allowed).
    if (Failure kept = copyPermissions(destination.path, pending.file()); kept.failed()) {
        pending.discard();
        return kept;
    }
    // Where an open file cannot be replaced, the source lets go of it for the last step.
    const bool closing = closable_ != nullptr && replacingNeedsClosedFile();
    if (closing) closable_->closeFile();
    Failure published = pending.publish(Publish::Replace, Flush::DataAndName);
    if (closing && published.failed()) {
        const std::string path = closable_->path();
        if (closable_->open(path) == 1) static_cast<void>(closable_->readDirectory());
    }
    return published;
}

Failure ArchiveEdit::write(ProgressSink* progress) {
    const Layout layout = this->layout();
    if (!layout.plan.problems.empty()) return layout.plan.problems.front();
    const Result<std::vector<std::byte>> records = readSourceRecords();
    if (!records) return records.failure();

    // What a killed edit left beside the archive goes first: create sweeps the folder.
    Result<PendingFile> created = PendingFile::create(layout.destination.path, UnnamedFile::Allowed);
    if (!created) return created.failure();
    if (Failure written = writeResult(layout, *records, created->file(), progress); written.failed()) {
        created->discard();
        return written;
    }
    return publish(*created, layout.destination);
}

}  // namespace quillomar
