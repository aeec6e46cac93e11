#include "viewer/contentwindow.h"

#include <utility>

#include "platform/messages.h"

namespace quillomar {

using namespace viewer;

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
    addColumns();
    addRows();
}

void ContentWindow::addColumns() {
    for (int column = 0; column < kColumnCount; ++column) {
        const std::string title = texts_ ? texts_(kFirstColumnTitle + column) : std::string();
        const int width = kColumnWidths[static_cast<std::size_t>(column)];
        if (!host_->insertColumn(kList, column, firstCharacters(title, kColumnTitleBufferSize - 1), width)) break;
    }
}

void ContentWindow::addRows() {
    // Each entry goes to the top of the list, so the rows first stand in the reverse of the
    // directory order. Adding them from the last entry on, each below the one before, gives the
    // same list without moving every row down at each insertion.
    for (std::size_t i = entries_.size(); i-- > 0;) {
        const int row = host_->insertRow(kList, host_->rowCount(kList), rowValue(i));
        if (row < 0) continue;
        const EntryRow texts = entryRow(entries_[i]);
        host_->setCellText(kList, row, kColumnName, texts.name);
        host_->setCellText(kList, row, kColumnType, texts.type);
        host_->setCellText(kList, row, kColumnFolder, texts.folder);
        host_->setCellText(kList, row, kColumnDate, texts.date);
        host_->setCellText(kList, row, kColumnSize, texts.size);
    }
}

void ContentWindow::onCommand(int id) {
    if (host_ == nullptr) return;
    switch (id) {
        case kClose:
            onClose();
            break;
        case kExtractAll:
            onExtractAll();
            break;
        default:
            break;
    }
}

void ContentWindow::onClose() { host_->endDialog(1); }

void ContentWindow::onExtractAll() {
    const std::string title = texts_ ? texts_(kPickerTitle) : std::string();
    host_->enableItem(kExtractAll, false);
    host_->enableItem(kClose, false);
    // Cancelling the picker extracts nothing. The result is not shown: each failure has been
    // reported, and the packer window's bar shows how far the work got.
    if (std::optional<std::string> root = host_->pickFolder(title)) archive_.extractAll(*root, &progress_);
    host_->enableItem(kExtractAll, true);
    host_->enableItem(kClose, true);
}

const ArchiveEntry* ContentWindow::entryOf(std::uintptr_t value) const {
    if (value == 0 || value > entries_.size()) return nullptr;
    return &entries_[static_cast<std::size_t>(value - 1)];
}

const ArchiveEntry* ContentWindow::rowEntry(int row) const {
    if (host_ == nullptr || row < 0 || row >= host_->rowCount(kList)) return nullptr;
    return entryOf(host_->rowData(kList, row));
}

void ContentWindow::onItemActivate(int listId, int row) {
    if (listId != kList) return;
    if (const ArchiveEntry* entry = rowEntry(row)) openTemporaryCopy(*entry);
}

void ContentWindow::openTemporaryCopy(const ArchiveEntry& entry) {
    std::optional<std::string> copy = archive_.writeTemporaryCopy(entry);
    if (!copy) return;
    // The desktop opens it for the packer window, the program's main window. The copy stays
    // recorded whatever the desktop answers; closing the archive deletes it.
    if (!owner_.openWithDesktop(*copy)) showStringMessage(kMsgNoAssociation);
}

void ContentWindow::onColumnClick(int listId, int column) {
    if (listId != kList) return;
    sortByColumn(column);
}

const std::vector<std::string>& ContentWindow::sortKeys(int column) {
    std::vector<std::string>& keys = keys_[static_cast<std::size_t>(column)];
    if (keys.size() != entries_.size()) {
        keys.clear();
        keys.reserve(entries_.size());
        for (const ArchiveEntry& entry : entries_) keys.push_back(collator_.sortKey(entryColumnText(entry, column)));
    }
    return keys;
}

void ContentWindow::sortByColumn(int column) {
    if (host_ == nullptr || column < 0 || column >= kColumnCount) return;
    // The keys follow compareEntries; the text columns' collation keys are made once per column
    // instead of collating two split names at every comparison.
    auto index = [](std::uintptr_t value) { return static_cast<std::size_t>(value - 1); };
    auto valid = [this](std::uintptr_t value) { return value != 0 && value <= entries_.size(); };
    if (column == kColumnDate || column == kColumnSize) {
        host_->sortRows(kList, [&](std::uintptr_t a, std::uintptr_t b) {
            if (!valid(a) || !valid(b)) return valid(a) ? 1 : (valid(b) ? -1 : 0);
            return compareEntries(entries_[index(a)], entries_[index(b)], column, collator_);
        });
        return;
    }
    const std::vector<std::string>& keys = sortKeys(column);
    host_->sortRows(kList, [&](std::uintptr_t a, std::uintptr_t b) {
        if (!valid(a) || !valid(b)) return valid(a) ? 1 : (valid(b) ? -1 : 0);
        const int order = keys[index(a)].compare(keys[index(b)]);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    });
}

}  // namespace quillomar
