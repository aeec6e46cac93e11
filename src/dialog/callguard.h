#pragma once
// The guard a host keeps around every call into a dialog's logic: one call at a time, messages
// the logic posts meanwhile delivered after it, and no input taken while it runs. Long work runs
// inside a call and lets the toolkit repaint the windows from time to time (a "pump"); input the
// user makes meanwhile is dropped when the call returns, never replayed afterwards, so that a
// second click on Generate or an Escape made during the work is not acted on once it is over.

#include <chrono>
#include <functional>
#include <vector>

namespace quillomar {

// What the guard asks of its host's toolkit.
class GuardedHost {
public:
    virtual ~GuardedHost() = default;
    // What the call changed (the lists' rows) reaches the controls in one go.
    virtual void publishChanges() = 0;
    // Input waiting in the toolkit's queue, made while the call's work ran, is thrown away.
    virtual void discardQueuedInput() = 0;
    // A message the logic posted while a call ran, posted again now that the call is over.
    virtual void repost(int message) = 0;
};

class CallGuard {
public:
    explicit CallGuard(GuardedHost& host) : host_(host) {}
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;

    // True while a call runs.
    bool busy() const { return depth_ > 0; }

    // Runs call unless one runs already; false when it was turned away. After the call the
    // host publishes its changes and, if the work pumped, drops the input queued meanwhile
    // (still busy, so nothing that arrives then reaches the logic); then the messages posted
    // meanwhile are posted again, in their order.
    bool run(const std::function<void()>& call);

    // A message posted to the logic has arrived: true when it may be delivered now, false when a
    // call runs and it has been kept for that call's end.
    bool admitPosted(int message);

    // Long work let the toolkit run its loop. Every call running on the thread, in any dialog,
    // counts it: work in one window may step the bar of another.
    static void notePump();

    // Whether long work should let the windows repaint now: at most once per interval. Ten
    // repaints a second keep the bar and the counts moving; each repaint costs the work a round
    // trip to the display, which on a busy machine is tens of milliseconds.
    static constexpr std::chrono::milliseconds kPumpInterval{100};
    static bool pumpDue();
    static bool pumpDue(std::chrono::steady_clock::time_point now);

private:
    GuardedHost& host_;
    int depth_ = 0;
    std::vector<int> deferred_;
};

}  // namespace quillomar
