#include "viewer/extractionreport.h"

#include <utility>

#include "archive/storedname.h"
#include "platform/messages.h"
#include "platform/syserror.h"

namespace quillomar {

ExtractionReport::ExtractionReport(const std::vector<ArchiveEntry>& entries, std::function<std::string(int)> texts)
    : entries_(entries), texts_(std::move(texts)) {}

void ExtractionReport::largeOutput(std::uint64_t total, std::uint64_t archiveBytes) {
    showComposedMessage(fillIn(text(kLargeOutputText), std::to_string(total), std::to_string(archiveBytes)));
}

void ExtractionReport::failed(const Failure& failure) {
    if (failures_.size() < kNamesShown) failures_.push_back(failure);
    ++failureCount_;
}

void ExtractionReport::overwritten(std::size_t entry) {
    if (overwritten_.size() < kNamesShown) overwritten_.push_back(storedNameForMessage(entries_[entry].name));
    ++overwrittenCount_;
}

void ExtractionReport::stopped(const Failure& failure, std::size_t notExtracted, std::size_t total) {
    stop_ = failure;
    notExtracted_ = notExtracted;
    total_ = total;
}

std::string ExtractionReport::summary() const {
    auto more = [this](std::size_t count) {
        return count > kNamesShown ? "\n" + fillIn(text(kMoreNamesText), std::to_string(count - kNamesShown), {})
                                   : std::string();
    };
    std::string message;
    auto paragraph = [&message](const std::string& text) {
        if (!message.empty()) message += "\n\n";
        message += text;
    };
    if (stop_.failed()) {
        paragraph(systemErrorMessage(stop_.error, stop_.path) + "\n" +
                  notExtractedText(notExtracted_ + failureCount_, total_));
    }
    if (failureCount_ > 0) {
        std::string list = fillIn(text(kNotExtractedListText), std::to_string(failureCount_), {});
        for (const Failure& failure : failures_) {
            const std::string why = !failure.detail.empty()  ? failure.detail
                                    : failure.messageId != 0 ? text(failure.messageId)
                                                             : systemErrorText(failure.error);
            list += "\n" + failure.path + " (" + why + ")";
        }
        paragraph(list + more(failureCount_));
    }
    if (overwrittenCount_ > 0) {
        std::string list = fillIn(text(kWrittenOverListText), std::to_string(overwrittenCount_), {});
        for (const std::string& name : overwritten_) list += "\n" + name;
        paragraph(list + more(overwrittenCount_));
    }
    return message;
}

void ExtractionReport::show() {
    if (!stop_.failed() && failureCount_ == 1 && overwrittenCount_ == 0) {
        report(failures_.front());
    } else if (std::string message = summary(); !message.empty()) {
        showComposedMessage(message);
    }
    failures_.clear();
    failureCount_ = overwrittenCount_ = 0;
    overwritten_.clear();
    stop_ = {};
}

}  // namespace quillomar
