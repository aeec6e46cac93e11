#include "packer/archiveedit.h"

#include <cerrno>

namespace quillomar {

struct ArchiveEdit::State {
    std::string output;
};

ArchiveEdit::ArchiveEdit(const PodArchive& source) : source_(source), state_(std::make_unique<State>()) {}
ArchiveEdit::~ArchiveEdit() = default;

void ArchiveEdit::setOutput(std::string path) { state_->output = std::move(path); }
void ArchiveEdit::add(const std::string&, const std::string&) {}
void ArchiveEdit::remove(std::size_t) {}
void ArchiveEdit::rename(std::size_t, const std::string&) {}
void ArchiveEdit::renameFolder(const std::string&, const std::string&) {}
void ArchiveEdit::setDescription(std::string) {}
void ArchiveEdit::setAuthor(std::string) {}
void ArchiveEdit::setCopyright(std::string) {}
void ArchiveEdit::setPriority(std::int32_t) {}
EditPlan ArchiveEdit::plan() const { return {}; }
Failure ArchiveEdit::write(ProgressSink*) { return Failure::system(ENOSYS, source_.path()); }
std::string ArchiveEdit::targetPath() const { return state_->output.empty() ? source_.path() : state_->output; }

}  // namespace quillomar
