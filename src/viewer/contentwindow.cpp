#include "viewer/contentwindow.h"

#include <algorithm>
#include <new>
#include <numeric>
#include <utility>

#include "archive/storedname.h"
#include "packer/archiveedit.h"
#include "platform/filesystem.h"
#include "platform/messages.h"
#include "preview/preview.h"
#include "viewer/entryfilter.h"
#include "viewer/extractionreport.h"
#include "viewer/previewcontent.h"

namespace quillomar {

using namespace viewer;

// Drives the packer window's bar as extraction always has, and shows "n / N" in the hint (the
// text of textId: extracting, or writing an edit). The
// hint changes about a hundred times in a run however many entries there are, so that showing it
// costs nothing next to the files written.
class ContentWindow::ExtractionProgress final : public ProgressSink {
public:
    ExtractionProgress(ContentWindow& window, ProgressSink& bar, int textId = kProgressText)
        : window_(window), bar_(bar), textId_(textId) {}

    void setRange(int low, int high) override {
        bar_.setRange(low, high);
        total_ = std::max(0, high - low);
        done_ = 0;
        every_ = std::max(1, total_ / 100);
        show();
    }
    void step() override {
        bar_.step();
        ++done_;
        if (done_ >= total_ || done_ - shown_ >= every_) show();
    }

private:
    void show() {
        shown_ = done_;
        window_.host_->setItemText(kHint, fillIn(window_.text(textId_), std::to_string(done_), std::to_string(total_)));
        window_.hintChanged_ = true;
    }

    ContentWindow& window_;
    ProgressSink& bar_;
    int textId_;
    int total_ = 0;
    int done_ = 0;
    int shown_ = 0;
    int every_ = 1;
};

ContentWindow::ContentWindow(PodArchive& archive, DialogHost& owner, ProgressSink& progress, TextLoader texts,
                             const Collator& collator)
    : archive_(archive),
      entries_(archive.entries()),
      owner_(owner),
      progress_(progress),
      texts_(std::move(texts)),
      collator_(collator) {}

void ContentWindow::onInit(DialogHost& host) {
    host_ = &host;
    hint_ = host.itemText(kHint);
    try {
        addColumns();
        addRows();
    } catch (const std::bad_alloc&) {
        // A list that cannot hold every entry would hide some: the window does not open.
        showStringMessage(kMsgOutOfMemory);
        host.endDialog(0);
        return;
    }
    // The name and the folder are what a wider window should show more of.
    host.setStretchColumns(kList, {kColumnName, kColumnFolder});
    // Files dropped on the list are added to the archive (or refused, for an archive only read).
    host.acceptListDrops(kList);
    host.setAccelerators({{'F', true, kFilter}, {kKeyF3, false, kPreview}});
    if (paneMemory_.load && paneMemory_.load()) {
        previewShown_ = true;
        host.showItem(kPreview, true);
        showPreview(host.currentRow(kList));
    }
}

void ContentWindow::addColumns() {
    for (int column = 0; column < kColumnCount; ++column) {
        const std::string title = text(kColumnTitles[static_cast<std::size_t>(column)]);
        const int width = kColumnWidths[static_cast<std::size_t>(column)];
        if (!host_->insertColumn(kList, column, firstCharacters(title, kColumnTitleBufferSize - 1), width)) break;
    }
}

void ContentWindow::addRows() {
    // The rows hold only their entry's reference; their texts are made from the entry when they
    // are shown, so that a long list costs little memory.
    host_->setCellSource(kList, [this](std::uintptr_t value, int column) {
        const ArchiveEntry* entry = entryOf(value);
        return entry == nullptr ? std::string() : entryCellText(*entry, column);
    });
    // Each entry goes to the top of the list, so the rows first stand in the reverse of the
    // directory order. Adding them from the last entry on, each below the one before, gives the
    // same list without moving every row down at each insertion.
    for (std::size_t i = entries_.size(); i-- > 0;) host_->insertRow(kList, host_->rowCount(kList), rowValue(i));
}

void ContentWindow::restoreHint() {
    if (!hintChanged_ || host_ == nullptr) return;
    host_->setItemText(kHint, restingHint());
    hintChanged_ = false;
}

void ContentWindow::onCommand(int id) {
    if (host_ == nullptr) return;
    switch (id) {
        case kClose:
            // Enter in the filter box goes on to the rows it left, rather than closing the window.
            if (host_->focusedItem() == kFilter) {
                host_->setFocusItem(kList);
                break;
            }
            onClose();
            break;
        case kExtractAll:
            // Escape in a filter box holding text empties it, and does nothing else.
            if (!clearFilter()) onExtractAll();
            break;
        case kFilter:
            host_->setFocusItem(kFilter);
            break;
        case kPreview:
            togglePreview();
            break;
        default:
            break;
    }
}

void ContentWindow::onClose() { host_->endDialog(1); }

void ContentWindow::onExtractAll() { extract(Entries::All, {}); }

void ContentWindow::onExtractSelected() {
    if (host_ == nullptr) return;
    const std::vector<std::size_t> indices = entryIndices(host_->selectedRows(kList));
    if (!indices.empty()) extract(Entries::Selected, indices);
}

void ContentWindow::extract(Entries which, const std::vector<std::size_t>& indices) {
    restoreHint();
    const std::string title = text(kPickerTitle);
    host_->enableItem(kExtractAll, false);
    host_->enableItem(kClose, false);
    // Cancelling the picker extracts nothing. What failed is told in one message once the
    // extraction has returned; the hint then tells how many files were written, and where.
    if (std::optional<std::string> root = host_->pickFolder(title)) {
        ExtractionProgress progress(*this, progress_);
        ExtractionReport gathered(entries_, texts_);
        const Result<Extracted> done = which == Entries::All
                                           ? archive_.extractAll(*root, gathered, &progress)
                                           : archive_.extractSelected(*root, indices, gathered, &progress);
        // A root that cannot be used is its own message; the entries' failures come gathered.
        if (!done) report(done.failure());
        gathered.show();
        const std::size_t count = done ? done->files : 0;
        const std::string end = text(count == 1 ? kExtractedOneText : kExtractedText);
        host_->setItemText(kHint, fillIn(end, std::to_string(count), *root));
        hintChanged_ = true;
    }
    host_->enableItem(kExtractAll, true);
    host_->enableItem(kClose, true);
}

void ContentWindow::writeEdit(ArchiveEdit& edit) {
    const EditPlan plan = edit.plan();
    if (!plan.writable()) {
        // The first problem stands for the rest: one box, and nothing written.
        report(plan.problems.front());
        return;
    }
    if (!plan.changesAnything()) return;
    host_->enableItem(kExtractAll, false);
    host_->enableItem(kClose, false);
    const std::string path = archive_.path();
    Failure failure;
    {
        ExtractionProgress progress(*this, progress_, kWritingText);
        // Where an open file cannot be replaced, the edit closes the archive before the new one
        // takes its name; the archive is read again below in any case.
        failure = edit.write(&progress);
    }
    restoreHint();
    if (failure.failed()) report(failure);
    // Closed for the new archive, the old one is read again when that could not take its place.
    if (!failure.failed() || archive_.version() == ArchiveVersion::None) reload(path);
    host_->enableItem(kExtractAll, true);
    host_->enableItem(kClose, true);
}

void ContentWindow::reload(const std::string& path) {
    // The rows refer to entries by their place in the directory: they go before it is read again.
    host_->clearRows(kList);
    for (std::vector<std::uint32_t>& ranks : ranks_) ranks.clear();
    if (archive_.open(path) != 1 || archive_.readDirectory() != 1) {
        report(archive_.failure());
        if (previewShown_) host_->setPaneContent(kPreview, {});
        return;
    }
    try {
        // The entries the filter box's text takes, in the order of the last sort, as before.
        fillRows(filterText_);
    } catch (const std::bad_alloc&) {
        host_->clearRows(kList);
        showStringMessage(kMsgOutOfMemory);
    }
    // The filter's count is of the archive as it now is.
    hintChanged_ = true;
    restoreHint();
    if (previewShown_) showPreview(host_->currentRow(kList));
}

const ArchiveEntry* ContentWindow::entryOf(std::uintptr_t value) const {
    if (value == 0 || value > entries_.size()) return nullptr;
    return &entries_[static_cast<std::size_t>(value - 1)];
}

const ArchiveEntry* ContentWindow::rowEntry(int row) const {
    if (host_ == nullptr || row < 0 || row >= host_->rowCount(kList)) return nullptr;
    return entryOf(host_->rowData(kList, row));
}

std::vector<std::size_t> ContentWindow::entryIndices(const std::vector<int>& rows) const {
    std::vector<std::size_t> indices;
    indices.reserve(rows.size());
    for (int row : rows) {
        if (const ArchiveEntry* entry = rowEntry(row))
            indices.push_back(static_cast<std::size_t>(entry - entries_.data()));
    }
    // Directory order reads the archive front to back and keeps each folder's entries together.
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

void ContentWindow::onItemActivate(int listId, int row) {
    if (listId != kList) return;
    restoreHint();
    if (const ArchiveEntry* entry = rowEntry(row)) openTemporaryCopy(*entry);
}

void ContentWindow::openTemporaryCopy(const ArchiveEntry& entry) {
    const Result<std::string> copy = archive_.writeTemporaryCopy(entry);
    if (!copy) {
        report(copy.failure());
        return;
    }
    // The desktop opens it for the packer window, the program's main window. The copy stays
    // recorded whatever the desktop answers; closing the archive deletes it.
    if (!owner_.openWithDesktop(*copy)) showStringMessage(kMsgNoAssociation);
}

void ContentWindow::onContextMenu(int listId) {
    if (listId != kList || host_ == nullptr) return;
    restoreHint();
    const bool anySelected = !host_->selectedRows(kList).empty();
    const bool anyCurrent = rowEntry(host_->currentRow(kList)) != nullptr;
    const std::vector<MenuItem> items{
        {kMenuOpen, text(kOpenText), anyCurrent},
        {kMenuExtractSelected, text(kExtractSelectedText), anySelected},
        {kMenuCopyName, text(kCopyNameText), anySelected},
        {kMenuPreview, text(kPreviewText), true},
        {kMenuDelete, text(kDeleteText), anySelected},
        {kMenuRename, text(kRenameText), anyCurrent},
    };
    switch (host_->popupMenu(items)) {
        case kMenuOpen:
            if (const ArchiveEntry* entry = rowEntry(host_->currentRow(kList))) openTemporaryCopy(*entry);
            break;
        case kMenuExtractSelected:
            onExtractSelected();
            break;
        case kMenuCopyName:
            onCopyNames();
            break;
        case kMenuPreview:
            togglePreview();
            break;
        case kMenuDelete:
            deleteSelected();
            break;
        case kMenuRename:
            beginRename();
            break;
        default:
            break;
    }
}

void ContentWindow::onCopyNames() {
    std::string names;
    for (int row : host_->selectedRows(kList)) {
        const ArchiveEntry* entry = rowEntry(row);
        if (entry == nullptr) continue;
        if (!names.empty()) names += '\n';
        names += storedNameToUtf8(entry->name);
    }
    if (!names.empty()) host_->setClipboardText(names);
}

std::vector<std::string> ContentWindow::onDragRows(int listId, const std::vector<int>& rows) {
    if (listId != kList || host_ == nullptr) return {};
    restoreHint();
    const std::vector<std::size_t> indices = entryIndices(rows);
    if (indices.empty()) return {};
    // Each drag gets a folder of its own, so that what it offers is exactly what it wrote.
    const Result<std::string> folder = archive_.newTemporaryFolder();
    if (!folder) {
        report(folder.failure());
        return {};
    }
    {
        ExtractionProgress progress(*this, progress_);
        ExtractionReport gathered(entries_, texts_);
        const Result<Extracted> done = archive_.extractSelected(*folder, indices, gathered, &progress);
        if (!done) report(done.failure());
        gathered.show();
    }
    restoreHint();
    // What could not be written has been reported and is left out of the drag.
    std::vector<std::string> files;
    for (std::size_t index : indices) {
        std::optional<std::string> relative = safeRelativePath(entries_[index].name);
        if (!relative) continue;
        std::string path = *folder + "/" + *relative;
        const Result<FileStatus> status = fileStatus(path, Links::NotFollowed);
        if (status && status->kind == FileKind::Regular) files.push_back(std::move(path));
    }
    return files;
}

void ContentWindow::onColumnClick(int listId, int column) {
    if (listId != kList) return;
    restoreHint();
    sortByColumn(column);
}

const std::vector<std::uint32_t>& ContentWindow::collationRanks(int column) {
    std::vector<std::uint32_t>& ranks = ranks_[static_cast<std::size_t>(column)];
    if (ranks.size() == entries_.size()) return ranks;
    // The collation keys live only while the ranks are made: four bytes an entry stay.
    std::vector<std::uint32_t> order(entries_.size());
    {
        std::vector<std::string> keys;
        keys.reserve(entries_.size());
        for (const ArchiveEntry& entry : entries_) keys.push_back(collator_.sortKey(entryColumnText(entry, column)));
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        ranks.assign(entries_.size(), 0);
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && keys[order[i]] != keys[order[i - 1]]) ++rank;
            ranks[order[i]] = rank;
        }
    }
    return ranks;
}

void ContentWindow::sortByColumn(int column) {
    if (host_ == nullptr || column < 0 || column >= kColumnCount) return;
    try {
        sortRowsBy(column);
        sortColumn_ = column;
    } catch (const std::bad_alloc&) {
        // The rows keep the order they had.
        showStringMessage(kMsgOutOfMemory);
    }
}

void ContentWindow::sortRowsBy(int column) {
    // The order follows compareEntries; the text columns compare the entries' collation ranks,
    // made once per column, instead of collating two split names at every comparison.
    auto index = [](std::uintptr_t value) { return static_cast<std::size_t>(value - 1); };
    auto valid = [this](std::uintptr_t value) { return value != 0 && value <= entries_.size(); };
    if (column == kColumnDate || column == kColumnSize) {
        host_->sortRows(kList, [&](std::uintptr_t a, std::uintptr_t b) {
            if (!valid(a) || !valid(b)) return valid(a) ? 1 : (valid(b) ? -1 : 0);
            return compareEntries(entries_[index(a)], entries_[index(b)], column, collator_);
        });
        return;
    }
    const std::vector<std::uint32_t>& ranks = collationRanks(column);
    host_->sortRows(kList, [&](std::uintptr_t a, std::uintptr_t b) {
        if (!valid(a) || !valid(b)) return valid(a) ? 1 : (valid(b) ? -1 : 0);
        const std::uint32_t first = ranks[index(a)];
        const std::uint32_t second = ranks[index(b)];
        return first < second ? -1 : (first > second ? 1 : 0);
    });
}

// Filter ----------------------------------------------------------------------------------------

void ContentWindow::onEditChange(int id) {
    if (id == kFilter && host_ != nullptr) applyFilter();
}

void ContentWindow::applyFilter() {
    const std::string typed = host_->itemText(kFilter);
    if (typed == filterText_) return;
    try {
        fillRows(typed);
    } catch (const std::bad_alloc&) {
        showStringMessage(kMsgOutOfMemory);
    }
    hintChanged_ = true;
    restoreHint();
    if (previewShown_) showPreview(host_->currentRow(kList));
}

// The list's vector of references is filled again: the entries taken, in the order of the last
// sort, ties in the order the rows had at the start (the reverse of the directory's), so that the
// rows stand as they would in the whole list. The order is made here over the entries' sort keys,
// faster than the list sorts through its comparison callback.
void ContentWindow::fillRows(std::string_view filterText) {
    filterText_ = filterText;
    const EntryFilter filter(filterText);
    std::vector<std::uint32_t> taken;
    taken.reserve(filter.showsAll() ? entries_.size() : 0);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        if (filter.matches(entries_[i])) taken.push_back(static_cast<std::uint32_t>(i));
    }
    orderByLastSort(taken);
    host_->clearRows(kList);
    for (std::uint32_t index : taken) host_->insertRow(kList, host_->rowCount(kList), rowValue(index));
}

void ContentWindow::orderByLastSort(std::vector<std::uint32_t>& indices) {
    if (sortColumn_ == kColumnDate || sortColumn_ == kColumnSize) {
        std::stable_sort(indices.begin(), indices.end(), [&](std::uint32_t a, std::uint32_t b) {
            return compareEntries(entries_[a], entries_[b], sortColumn_, collator_) < 0;
        });
    } else if (sortColumn_ >= 0) {
        const std::vector<std::uint32_t>& ranks = collationRanks(sortColumn_);
        std::stable_sort(indices.begin(), indices.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return ranks[a] < ranks[b]; });
    }
}

bool ContentWindow::clearFilter() {
    if (host_->focusedItem() != kFilter || host_->itemText(kFilter).empty()) return false;
    host_->setItemText(kFilter, "");
    applyFilter();
    return true;
}

std::string ContentWindow::restingHint() const {
    if (filterText_.empty()) return hint_;
    return fillIn(text(kFilterCountText), std::to_string(host_->rowCount(kList)), std::to_string(entries_.size()));
}

// Preview ---------------------------------------------------------------------------------------

void ContentWindow::togglePreview() {
    previewShown_ = !previewShown_;
    host_->showItem(kPreview, previewShown_);
    if (paneMemory_.save) paneMemory_.save(previewShown_);
    if (previewShown_) {
        showPreview(host_->currentRow(kList));
    } else {
        host_->setPaneContent(kPreview, {});  // what it showed is not kept while hidden
    }
}

void ContentWindow::onCurrentRowChange(int listId, int row) {
    if (listId == kList && previewShown_) showPreview(row);
}

void ContentWindow::showPreview(int row) {
    const ArchiveEntry* entry = rowEntry(row);
    if (entry == nullptr) {
        host_->setPaneContent(kPreview, {});
        return;
    }
    try {
        host_->setPaneContent(
            kPreview, paneContentOf(makePreview(archive_, *entry), text(kPictureSizeText), text(kCannotShowText)));
    } catch (const std::bad_alloc&) {
        PaneContent failed;
        failed.kind = PaneContent::Kind::Message;
        failed.text = text(kCannotShowText);
        host_->setPaneContent(kPreview, failed);
    }
}

}  // namespace quillomar
