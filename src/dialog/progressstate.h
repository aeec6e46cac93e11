#pragma once
// A progress bar's range, step and position as the logic sets them, with the bar control's rules:
// the position stays inside the range, and a step past the top starts over from the bottom. A
// host whose toolkit's bar keeps no such rules keeps this record and shows it.

namespace quillomar {

struct ProgressState {
    int low = 0;
    int high = 100;
    int step = 10;
    int position = 0;

    // A new range keeps the position inside it.
    void setRange(int newLow, int newHigh);
    void setPosition(int newPosition);
    // One step; past the top the bar starts over from its bottom.
    void stepIt();
};

}  // namespace quillomar
