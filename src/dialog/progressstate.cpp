#include "dialog/progressstate.h"

#include <algorithm>
#include <cstdint>

namespace quillomar {

void ProgressState::setRange(int newLow, int newHigh) {
    low = newLow;
    high = newHigh;
    setPosition(position);
}

void ProgressState::setPosition(int newPosition) { position = std::clamp(newPosition, low, std::max(low, high)); }

void ProgressState::stepIt() {
    std::int64_t next = std::int64_t{position} + step;
    if (next > high) next = high > low ? low + (next - low) % (std::int64_t{high} - low) : low;
    if (next < low) next = low;
    position = static_cast<int>(next);
}

}  // namespace quillomar
