#pragma once
// The content window (dialog 103): one row per entry of the archive the packer window has opened,
// sorted by any column on a header click; a double-click opens a temporary copy of the row's
// entry with the desktop's program for its type; Extract all writes every entry below a folder
// the user picks. Several rows can be selected: the list's context menu opens the current row,
// extracts the selection or copies its names, and rows dragged out of the list are offered to the
// drop as files. While extraction runs the hint above the list shows how far it got, then how it
// ended. A POD3 archive is edited from the window: files and folders dropped on the list are
// added at its top, Delete removes the selected entries and F2 renames the current one in place;
// each change is written at once, as a new archive that takes the old one's place, and the list
// then shows the archive as it now is. A POD2 archive is only shown. The logic addresses its
// controls by id through a DialogHost and holds no widget.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "dialog/dialoghost.h"
#include "platform/collate.h"
#include "platform/progress.h"
#include "platform/resourceids.h"
#include "viewer/entryrow.h"

namespace quillomar {

class ArchiveEdit;

namespace viewer {

// Column headers, in column order, each as a buffer of 20 characters takes it.
inline constexpr std::array<int, kColumnCount> kColumnTitles{kNameColumnTitle, kTypeColumnTitle, kFolderColumnTitle,
                                                             kDateColumnTitle, kSizeColumnTitle};
inline constexpr std::size_t kColumnTitleBufferSize = 20;
// Column widths in pixels, in column order.
inline constexpr std::array<int, kColumnCount> kColumnWidths{110, 45, 110, 110, 60};

}  // namespace viewer

class ContentWindow final : public DialogHandler {
public:
    // The program's text for a string-table id in the user's language; "" for an unknown id.
    using TextLoader = std::function<std::string(int id)>;

    // archive: the packer window's archive, whose directory has just been read; nothing re-reads
    // or closes it while the window runs. owner: the packer window, which hands copies to the
    // desktop. progress: the packer window's bar, which extraction drives.
    ContentWindow(PodArchive& archive, DialogHost& owner, ProgressSink& progress, TextLoader texts,
                  const Collator& collator = userCollator());

    void onInit(DialogHost& host) override;
    void onCommand(int id) override;
    void onItemActivate(int listId, int row) override;
    void onColumnClick(int listId, int column) override;
    void onContextMenu(int listId) override;
    std::vector<std::string> onDragRows(int listId, const std::vector<int>& rows) override;
    void onListDrop(int listId, const std::vector<std::string>& paths) override;
    void onListKey(int listId, ListKey key) override;
    void onRowTextEdited(int listId, int row, const std::string& text) override;

    // The operations behind the messages.
    void onClose();
    void onExtractAll();
    // The folder picker titled as for Extract all, then the selected rows' entries below it.
    void onExtractSelected();
    // The stored names of the selected rows, one a line, to the clipboard.
    void onCopyNames();
    // Orders the rows by column, ascending, every time; rows with equal keys keep their order.
    void sortByColumn(int column);
    // Writes the entry's temporary copy and hands it to the desktop: message 105 when no program
    // takes it. What keeps the copy from being written is reported by the archive.
    void openTemporaryCopy(const ArchiveEntry& entry);

    // Editing (contentediting.cpp). Each says why it does nothing on an archive that is only read.
    // The host paths (files or folders) added at the archive's top under their own names, after
    // one question when some replace entries.
    void addFiles(const std::vector<std::string>& paths);
    // The selected rows' entries removed, after one question.
    void deleteSelected();
    // Opens the current row's name for editing in place; onRowTextEdited applies it.
    void beginRename();
    // The row's entry renamed to name within its folder.
    void renameRow(int row, const std::string& name);

    // The entry a row refers to, or nullptr.
    const ArchiveEntry* rowEntry(int row) const;

    // Where the preview pane's state (shown or hidden) is kept between runs. Without it the pane
    // starts hidden and its state is forgotten.
    struct PaneMemory {
        std::function<bool()> load;
        std::function<void(bool shown)> save;
    };
    void rememberPreviewIn(PaneMemory memory) { paneMemory_ = std::move(memory); }

    void onEditChange(int id) override;
    void onCurrentRowChange(int listId, int row) override;
    // The rows again: the entries the filter box's text takes, in the order of the last sort.
    void applyFilter();
    // Shows the preview pane when hidden and hides it when shown.
    void togglePreview();
    bool previewShown() const { return previewShown_; }

    // A row's item data: the entry's position in the directory plus one (0 refers to nothing).
    static std::uintptr_t rowValue(std::size_t index) { return static_cast<std::uintptr_t>(index) + 1; }

private:
    class ExtractionProgress;

    void sortRowsBy(int column);
    void addColumns();
    void addRows();
    std::string text(int id) const { return texts_ ? texts_(id) : std::string(); }
    const ArchiveEntry* entryOf(std::uintptr_t value) const;
    // The directory positions of rows, each once, in directory order.
    std::vector<std::size_t> entryIndices(const std::vector<int>& rows) const;
    // Picker, then extraction of every entry or of indices, with the buttons disabled.
    enum class Entries { All, Selected };
    void extract(Entries which, const std::vector<std::size_t>& indices);
    // False, after saying so, when the archive is only read.
    bool editable();
    // Writes the edit when its plan has no problem and changes anything, with the buttons
    // disabled and the progress in the hint, then shows the archive as it now is. The first
    // problem, or the failure of the write, is reported; the archive is then as it was.
    void writeEdit(ArchiveEdit& edit);
    // Opens the archive at path again and rebuilds the rows over its entries.
    void reload(const std::string& path);
    // The hint goes back to its own text when it shows an extraction's end.
    void restoreHint();
    // Each entry's place in the collation order of a text column (equal texts share it), made on
    // the column's first sort.
    const std::vector<std::uint32_t>& collationRanks(int column);
    // The hint's text when no extraction speaks there: its own, or the filter's count.
    std::string restingHint() const;
    // Escape in a filter box holding text empties it; true when it did.
    bool clearFilter();
    void fillRows(std::string_view filterText);
    // Directory positions ordered as the last sort orders rows; unchanged before any sort.
    void orderByLastSort(std::vector<std::uint32_t>& indices);
    void showPreview(int row);

    PodArchive& archive_;
    const std::vector<ArchiveEntry>& entries_;
    DialogHost& owner_;
    ProgressSink& progress_;
    TextLoader texts_;
    const Collator& collator_;
    DialogHost* host_ = nullptr;
    std::string hint_;  // the hint's own text
    bool hintChanged_ = false;
    std::array<std::vector<std::uint32_t>, 3> ranks_;
    int sortColumn_ = -1;  // the column of the last sort, which a rebuilt or filtered list keeps; -1 before any
    std::string filterText_;
    PaneMemory paneMemory_;
    bool previewShown_ = false;
};

}  // namespace quillomar
