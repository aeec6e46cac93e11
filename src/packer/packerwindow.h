#pragma once
// The packer window (dialog 102): the program's main window. A dropped folder is scanned and can
// be packed into a POD3 archive with Generate; a dropped or given ".pod" file is opened, its
// header shown and its content window run. The logic addresses its controls by id through a
// DialogHost and holds no widget.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "archive/podarchive.h"
#include "dialog/dialoghost.h"
#include "packer/presets.h"
#include "packer/sourcelist.h"
#include "platform/progress.h"
#include "platform/resourceids.h"

namespace quillomar {

namespace packer {

// Posted to itself after initialisation when the command line named a path.
inline constexpr int kOpenPathMessage = kUserMessage + 1;

// The author, description and copyright boxes take at most this many characters, and Generate
// reads no more: the header field's 79 bytes, one byte a character in the archive code pages.
inline constexpr std::size_t kHeaderTextReadLength = 79;

}  // namespace packer

class PackerWindow final : public DialogHandler {
public:
    // Runs the content window (dialog 103) over an archive whose directory has just been read,
    // modally over owner; progress is this window's bar. Returns when the content window ends.
    using ContentWindowHook = std::function<void(PodArchive& archive, DialogHost& owner, ProgressSink& progress)>;

    // commandLineTail: a path in double quotes, or empty. Its first and last characters are
    // dropped unexamined; what lies between them is the path handed to the window.
    explicit PackerWindow(std::string_view commandLineTail, ContentWindowHook contentWindow = {});
    // Closes the opened archive, which deletes its temporary copies.
    ~PackerWindow() override;
    PackerWindow(const PackerWindow&) = delete;
    PackerWindow& operator=(const PackerWindow&) = delete;

    void onInit(DialogHost& host) override;
    void onCommand(int id) override;
    void onDrop(const std::string& path) override;
    void onPostedMessage(int message) override;

    // The operations behind the messages.
    void processFolder();
    void generateArchive();
    void openArchivePath(const std::string& path);
    void showArchive(const std::string& path);
    void showContent();
    // Enables or disables the six input controls together: 201, 206, 207, 210, 211, 212.
    void setInputsEnabled(bool enabled);

    const std::string& commandLinePath() const { return commandLinePath_; }
    const SourceList& sourceList() const { return sourceList_; }
    // The archive opened for reading; null until the first archive is opened.
    PodArchive* archive() { return archive_.get(); }
    // This window's progress bar, which the scan, the writer and extraction drive.
    ProgressSink& progress() { return progress_; }
    // Valid from initialisation until the window object is destroyed.
    DialogHost* host() { return host_; }
    // True while a drop, a command or the posted path is being handled.
    bool working() const { return working_; }

private:
    class BarProgress final : public ProgressSink {
    public:
        explicit BarProgress(PackerWindow& window) : window_(window) {}
        void setRange(int low, int high) override;
        void step() override;

    private:
        PackerWindow& window_;
    };

    void dropFolder(const std::string& path);
    // Shows the archive fields of a preset set: name, texts and priority.
    void showPresets(const ArchivePresets& presets);

    SourceList sourceList_;
    std::unique_ptr<PodArchive> archive_;
    std::string commandLinePath_;
    // The folder of the last folder drop, as the bytes of its path; box 204 shows it.
    std::string folderPath_;
    BarProgress progress_{*this};
    ContentWindowHook contentWindow_;
    DialogHost* host_ = nullptr;
    bool working_ = false;
};

}  // namespace quillomar
