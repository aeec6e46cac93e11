#include "dialog/callguard.h"

namespace quillomar {

namespace {

// The user-interface thread's pumps: how many there were, and when the last one was due.
unsigned long pumpCount = 0;
std::chrono::steady_clock::time_point lastPump{};

}  // namespace

bool CallGuard::run(const std::function<void()>& call) {
    if (depth_ > 0) return false;
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    };
    {
        const Depth scope(depth_);
        const unsigned long pumpsBefore = pumpCount;
        call();
        host_.publishChanges();
        if (pumpCount != pumpsBefore) host_.discardQueuedInput();
    }
    std::vector<int> waiting;
    waiting.swap(deferred_);
    for (int message : waiting) host_.repost(message);
    return true;
}

bool CallGuard::admitPosted(int message) {
    if (depth_ == 0) return true;
    deferred_.push_back(message);
    return false;
}

void CallGuard::notePump() { ++pumpCount; }

bool CallGuard::pumpDue() { return pumpDue(std::chrono::steady_clock::now()); }

bool CallGuard::pumpDue(std::chrono::steady_clock::time_point now) {
    if (lastPump != std::chrono::steady_clock::time_point{} && now - lastPump < kPumpInterval) return false;
    lastPump = now;
    return true;
}

}  // namespace quillomar
