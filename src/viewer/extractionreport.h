#pragma once
// What one extraction started from the window has to tell, gathered into one message at its end
// instead of one box per entry: the entries not extracted and the entries a later one wrote
// over, each with its count and its first few names.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/podarchive.h"
#include "platform/resourceids.h"

namespace quillomar {

class ExtractionReport final : public ExtractionObserver {
public:
    // At most this many names are listed in a message.
    static constexpr std::size_t kNamesShown = 5;

    ExtractionReport(const std::vector<ArchiveEntry>& entries, std::function<std::string(int)> texts);

    // Shown at once: nothing is written until the message is acknowledged.
    void largeOutput(std::uint64_t total, std::uint64_t archiveBytes) override;
    void failed(const Failure& failure) override;
    void overwritten(std::size_t entry) override;
    void stopped(const Failure& failure, std::size_t notExtracted, std::size_t total) override;

    // Shows what was gathered, once: a single failure as its own message (as the window always
    // showed one), anything more as one message.
    void show();

private:
    std::string text(int id) const { return texts_ ? texts_(id) : std::string(); }
    // The gathered message, "" when there is nothing to say beyond a single failure's message.
    std::string summary() const;

    const std::vector<ArchiveEntry>& entries_;
    std::function<std::string(int)> texts_;
    std::vector<Failure> failures_;  // the first kNamesShown
    std::size_t failureCount_ = 0;
    std::vector<std::string> overwritten_;  // the first kNamesShown names
    std::size_t overwrittenCount_ = 0;
    Failure stop_;
    std::size_t notExtracted_ = 0;  // by the stop
    std::size_t total_ = 0;
};

}  // namespace quillomar
