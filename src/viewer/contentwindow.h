#pragma once
// The content window (dialog 103): one row per entry of the archive the packer window has opened,
// sorted by any column on a header click; a double-click opens a temporary copy of the row's
// entry with the desktop's program for its type; Extract all writes every entry below a folder
// the user picks. The logic addresses its controls by id through a DialogHost and holds no widget.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "platform/collate.h"
#include "dialog/dialoghost.h"
#include "platform/progress.h"
#include "viewer/entryrow.h"

namespace quillomar {

namespace viewer {

// Controls of dialog 103.
inline constexpr int kClose = kIdOk;           // ends the window
inline constexpr int kExtractAll = kIdCancel;  // Escape sends it too: Escape starts Extract all
inline constexpr int kList = 217;

// Column headers are strings 106 to 110, each as a buffer of 20 characters takes it.
inline constexpr int kFirstColumnTitle = 106;
inline constexpr std::size_t kColumnTitleBufferSize = 20;
// Title of the folder picker.
inline constexpr int kPickerTitle = 102;
// Column widths in pixels, in column order.
inline constexpr std::array<int, kColumnCount> kColumnWidths{110, 45, 110, 110, 60};

}  // namespace viewer

class ContentWindow final : public DialogHandler {
public:
    // The program's text for a string-table id in the user's language; "" for an unknown id.
    using TextLoader = std::function<std::string(int id)>;

    // archive: the packer window's archive, whose directory has just been read; nothing re-reads
    // or closes it while the window runs. owner: the packer window, which hands copies to the
    // desktop. progress: the packer window's bar, which Extract all drives.
    ContentWindow(PodArchive& archive, DialogHost& owner, ProgressSink& progress, TextLoader texts,
                  const Collator& collator = userCollator());

    void onInit(DialogHost& host) override;
    void onCommand(int id) override;
    void onItemActivate(int listId, int row) override;
    void onColumnClick(int listId, int column) override;

    // The operations behind the messages.
    void onClose();
    void onExtractAll();
    // Orders the rows by column, ascending, every time; rows with equal keys keep their order.
    void sortByColumn(int column);
    // Writes the entry's temporary copy and hands it to the desktop: message 105 when no program
    // takes it. What keeps the copy from being written is reported by the archive.
    void openTemporaryCopy(const ArchiveEntry& entry);

    // The entry a row refers to, or nullptr.
    const ArchiveEntry* rowEntry(int row) const;

    // A row's item data: the entry's position in the directory plus one (0 refers to nothing).
    static std::uintptr_t rowValue(std::size_t index) { return static_cast<std::uintptr_t>(index) + 1; }

private:
    void addColumns();
    void addRows();
    const ArchiveEntry* entryOf(std::uintptr_t value) const;
    // The collation keys of a text column, one per entry, made on the column's first sort.
    const std::vector<std::string>& sortKeys(int column);

    PodArchive& archive_;
    const std::vector<ArchiveEntry>& entries_;
    DialogHost& owner_;
    ProgressSink& progress_;
    TextLoader texts_;
    const Collator& collator_;
    DialogHost* host_ = nullptr;
    std::array<std::vector<std::string>, 3> keys_;
};

}  // namespace quillomar
