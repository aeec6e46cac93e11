// The content window's edits of its archive: files dropped on the list, Delete and F2. Each edit
// is planned in full before anything is written, and written by writeEdit.

#include <string_view>

#include "archive/storedname.h"
#include "packer/archiveedit.h"
#include "platform/messages.h"
#include "viewer/contentwindow.h"

namespace quillomar {

using namespace viewer;

namespace {

// Where the folder part of a stored name ends: after its last separator ('\' or '/'), 0 at the top.
std::size_t leafStart(std::string_view stored) {
    const std::size_t separator = stored.find_last_of("\\/");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

// The last component of a host path, trailing separators left out: "/home/me/art/" gives "art".
std::string hostLeafName(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t separator = path.find_last_of('/');
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

// A name typed for an entry within its folder: not empty, no separator, not "." or "..".
bool validLeafName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/") == std::string_view::npos;
}

}  // namespace

bool ContentWindow::editable() {
    if (archive_.version() == ArchiveVersion::Pod3) return true;
    showStringMessage(kReadOnlyMessage);
    return false;
}

void ContentWindow::onListDrop(int listId, const std::vector<std::string>& paths) {
    if (listId != kList || host_ == nullptr) return;
    addFiles(paths);
}

void ContentWindow::onListKey(int listId, ListKey key) {
    if (listId != kList || host_ == nullptr) return;
    if (key == ListKey::Delete) {
        deleteSelected();
    } else {
        beginRename();
    }
}

void ContentWindow::onRowTextEdited(int listId, int row, const std::string& text) {
    if (listId != kList || host_ == nullptr) return;
    renameRow(row, text);
}

void ContentWindow::addFiles(const std::vector<std::string>& paths) {
    restoreHint();
    if (paths.empty() || !editable()) return;
    ArchiveEdit edit(archive_);
    // A dropped folder keeps its own name as the top folder of what it adds.
    for (const std::string& path : paths) edit.add(path, hostLeafName(path));
    const EditPlan plan = edit.plan();
    if (plan.writable() && plan.replaced > 0) {
        const std::string question = plan.replaced == 1
                                         ? text(kReplaceOneQuestion)
                                         : fillIn(text(kReplaceQuestion), std::to_string(plan.replaced), "");
        if (!host_->askYesNo(question)) return;
    }
    writeEdit(edit);
}

void ContentWindow::deleteSelected() {
    restoreHint();
    const std::vector<std::size_t> indices = entryIndices(host_->selectedRows(kList));
    if (indices.empty() || !editable()) return;
    const std::string question = indices.size() == 1
                                     ? text(kDeleteOneQuestion)
                                     : fillIn(text(kDeleteQuestion), std::to_string(indices.size()), "");
    if (!host_->askYesNo(question)) return;
    ArchiveEdit edit(archive_);
    for (std::size_t index : indices) edit.remove(index);
    writeEdit(edit);
}

void ContentWindow::beginRename() {
    restoreHint();
    const int row = host_->currentRow(kList);
    const ArchiveEntry* entry = rowEntry(row);
    if (entry == nullptr || !editable()) return;
    // The editor holds the whole file name, type included, as the archive stores it.
    host_->editRowText(kList, row, storedNameToUtf8(std::string_view(entry->name).substr(leafStart(entry->name))));
}

void ContentWindow::renameRow(int row, const std::string& name) {
    restoreHint();
    const ArchiveEntry* entry = rowEntry(row);
    if (entry == nullptr || !editable()) return;
    if (!validLeafName(name)) {
        showStringMessage(kInvalidNameMessage);
        return;
    }
    const std::string_view stored(entry->name);
    const std::string folder = storedNameToUtf8(stored.substr(0, leafStart(stored)));
    // The same name in another case is the name it has: upper-cased, it is stored the same.
    const StoredNameResult same = storedNameFromHostPath(storedNameToUtf8(stored.substr(leafStart(stored))));
    const StoredNameResult typed = storedNameFromHostPath(name);
    if (same.name && typed.name && *same.name == *typed.name) return;
    ArchiveEdit edit(archive_);
    edit.rename(static_cast<std::size_t>(entry - entries_.data()), folder + name);
    writeEdit(edit);
}

}  // namespace quillomar
