#include "packer/packerwindow.h"

#include <cerrno>
#include <new>
#include <utility>

#include "archive/podwriter.h"
#include "dialog/visibletext.h"
#include "packer/contentlog.h"
#include "platform/asciicase.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/messages.h"

namespace quillomar {

using namespace packer;

namespace {

constexpr std::string_view kNoValue = "-";

// Only one handler runs at a time; anything arriving meanwhile (from a message box's loop or the
// repaints of the progress bar) is turned away.
class WorkScope {
public:
    explicit WorkScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~WorkScope() { flag_ = false; }
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

private:
    bool& flag_;
};

bool endsWithPod(std::string_view path) { return endsWithIgnoringAsciiCase(path, ".pod"); }

// A path whose attributes cannot be read counts as a folder, as an item with every attribute set.
bool isFolder(const std::string& path) {
    const Result<FileStatus> status = fileStatus(path);
    return !status || status->kind == FileKind::Folder;
}

// Each file the archive is written without is named as the writer meets it.
class ShownAtOnce final : public WriteObserver {
public:
    void incomplete(const Failure& failure) override { report(failure); }
};

}  // namespace

void PackerWindow::BarProgress::setRange(int low, int high) {
    if (window_.host_ != nullptr) window_.host_->setProgressRange(kProgress, low, high);
}

void PackerWindow::BarProgress::step() {
    if (window_.host_ != nullptr) window_.host_->stepProgress(kProgress);
}

PackerWindow::PackerWindow(std::string_view commandLineTail, ContentWindowHook contentWindow)
    : contentWindow_(std::move(contentWindow)) {
    // The path keeps every byte: host paths are limited by the system alone.
    if (commandLineTail.size() > 2) commandLinePath_ = commandLineTail.substr(1, commandLineTail.size() - 2);
}

PackerWindow::~PackerWindow() {
    if (archive_) {
        archive_->close();
        archive_.reset();
    }
    sourceList_.resetScan({});
}

void PackerWindow::showPresets(const ArchivePresets& presets) {
    host_->setItemText(kName, presets.name);
    host_->setItemText(kAuthor, presets.author);
    host_->setItemText(kDescription, presets.description);
    host_->setItemText(kCopyright, presets.copyright);
    host_->setItemInt(kPriority, presets.priority);
}

void PackerWindow::onInit(DialogHost& host) {
    host_ = &host;
    for (const int id : {kAuthor, kDescription, kCopyright}) host.limitText(id, kHeaderTextReadLength);
    showPresets(kInitialPresets);
    host.setProgressStep(kProgress, 1);
    host.setIcon(kProgramIcon);
    if (!commandLinePath_.empty()) host.postMessage(kOpenPathMessage);
}

void PackerWindow::onCommand(int id) {
    if (working_ || host_ == nullptr) return;
    WorkScope scope(working_);
    switch (id) {
        case kQuit:
            host_->endDialog(1);
            break;
        case kGenerate:
            generateArchive();
            break;
        case kShowContent:
            showContent();
            break;
        default:
            // Escape and the caption's close button (kIdCancel) leave the window open.
            break;
    }
}

void PackerWindow::onDrop(const std::string& path) {
    if (working_ || host_ == nullptr) return;
    WorkScope scope(working_);
    if (!isFolder(path)) {
        openArchivePath(path);
        return;
    }
    dropFolder(path);
}

void PackerWindow::onPostedMessage(int message) {
    if (message != kOpenPathMessage || working_ || host_ == nullptr) return;
    WorkScope scope(working_);
    openArchivePath(commandLinePath_);
}

void PackerWindow::dropFolder(const std::string& path) {
    // Box 204 shows the folder; the path itself stays as its bytes, which need not be UTF-8.
    if (!path.empty()) {
        folderPath_ = path;
        host_->setItemText(kFolder, displayPath(path));
    }
    showPresets(kDropPresets);
    host_->setItemInt(kVersion, 3);
    host_->enableItem(kShowContent, false);
    host_->setProgressRange(kProgress, 0, 100);
    processFolder();
}

void PackerWindow::processFolder() {
    const std::string& folder = folderPath_;
    const std::string name = host_->itemText(kName);

    sourceList_.resetScan(folder);
    host_->setItemInt(kFileCount, 0);
    host_->setItemInt(kTotalKilobytes, 0);
    host_->setItemInt(kSubfolders, 0);

    const std::string logPath = folder + "/" + name + ".txt";
    if (!folder.empty() && !name.empty()) {
        sourceList_.scanFolder(folder, &progress_);
        host_->setItemInt(kFileCount, static_cast<std::int32_t>(sourceList_.files.size()));
        host_->setItemInt(kTotalKilobytes, static_cast<std::int32_t>(sourceList_.totalBytes / 1024));
        host_->setItemInt(kSubfolders, sourceList_.subfolderCount);
        if (!sourceList_.files.empty()) {
            // A log that cannot be written is shown; the drop goes on either way.
            if (host_->isChecked(kWriteLog)) report(writeContentLog(logPath, sourceList_));
            setInputsEnabled(true);
        } else {
            // Nothing to pack: Generate is not offered for a folder without files.
            setInputsEnabled(false);
        }
    } else {
        setInputsEnabled(false);
    }
    host_->postProgressPos(kProgress, 0);
}

void PackerWindow::generateArchive() {
    // The inputs are disabled whenever the last scan found nothing; an empty list never reaches
    // the writer.
    if (sourceList_.files.empty()) return;

    const std::string name = host_->itemText(kName);
    const std::string path = folderPath_ + "/" + name + ".pod";
    const std::string author = host_->itemText(kAuthor, kHeaderTextReadLength);
    const std::string description = host_->itemText(kDescription, kHeaderTextReadLength);
    const std::string copyright = host_->itemText(kCopyright, kHeaderTextReadLength);
    // An existing archive is never replaced: said before anything is read or written (the
    // writer's own check, when the name is taken meanwhile, still stands).
    if (fileStatus(path, Links::NotFollowed).ok()) {
        showSystemError(EEXIST, path);
        return;
    }

    setInputsEnabled(false);
    const std::int32_t priority = host_->itemInt(kPriority).value_or(0);  // no number: 0
    PodWriter writer(path, priority, author, description, copyright);
    ShownAtOnce shown;
    // No success message follows: the full progress bar shows the end.
    if (const Failure failed = writer.write(sourceList_.files, sourceList_.prefixLength, &progress_, shown);
        failed.failed())
        report(failed);
    setInputsEnabled(true);
}

void PackerWindow::openArchivePath(const std::string& path) {
    if (!endsWithPod(path)) {
        showStringMessage(kMsgNotFolderOrArchive);
        return;
    }
    host_->setItemText(kTotalKilobytes, kNoValue);
    host_->setItemText(kName, displayPath(path));
    showArchive(path);
}

void PackerWindow::showArchive(const std::string& path) {
    setInputsEnabled(false);
    host_->enableItem(kShowContent, false);

    if (!archive_) {
        archive_.reset(new (std::nothrow) PodArchive());
        if (!archive_) return;
    }
    if (archive_->open(path) != 1) {
        // Message 103 or 111, or for a file that could not be read at all (missing, a folder, a
        // pipe, a device, no access) the system's reason.
        report(archive_->failure());
        return;
    }

    host_->enableItem(kShowContent, true);
    host_->setItemText(kDescription, visibleText(archive_->description()));
    host_->setItemInt(kFileCount, archive_->header().entryCount);
    if (archive_->version() == ArchiveVersion::Pod3) {
        host_->setItemText(kAuthor, visibleText(archive_->author()));
        host_->setItemText(kCopyright, visibleText(archive_->copyright()));
        host_->setItemInt(kPriority, archive_->header().priority);
        host_->setItemInt(kVersion, 3);
    } else {
        host_->setItemText(kAuthor, kNoValue);
        host_->setItemText(kCopyright, kNoValue);
        host_->setItemText(kPriority, kNoValue);
        host_->setItemInt(kVersion, 2);
    }
    showContent();
}

void PackerWindow::showContent() {
    host_->enableItem(kShowContent, false);
    // The directory is read anew each time, so the list shows the archive file as it is now.
    if (archive_ && archive_->readDirectory() == 1) {
        host_->setItemInt(kTotalKilobytes, archive_->totalSize() / 1024);
        host_->setItemText(kSubfolders, kNoValue);
        if (contentWindow_) contentWindow_(*archive_, *host_, progress_);
        // The content window may have changed the archive: the counts show it as it now is.
        if (archive_->version() != ArchiveVersion::None) {
            host_->setItemInt(kFileCount, archive_->header().entryCount);
            host_->setItemInt(kTotalKilobytes, archive_->totalSize() / 1024);
        }
    } else if (archive_ && archive_->failure().messageId != 0) {
        // A damaged archive (111) or a lack of memory (101) is named; a directory that could not
        // be read leaves the content closed without a message, as it always has.
        report(archive_->failure());
    }
    host_->enableItem(kShowContent, true);
}

void PackerWindow::setInputsEnabled(bool enabled) {
    for (int id : {kGenerate, kName, kAuthor, kDescription, kCopyright, kPriority}) host_->enableItem(id, enabled);
}

}  // namespace quillomar
