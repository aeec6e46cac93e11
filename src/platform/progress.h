#pragma once

namespace quillomar {

// Stands in for the progress bar during long work: a range and one step at a time.
// The position is not reset by setRange, as with the bar it replaces.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setRange(int low, int high) = 0;
    virtual void step() = 0;
};

}  // namespace quillomar
