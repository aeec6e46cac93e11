#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialog/callguard.h"

namespace quillomar {
namespace {

// A host that writes down what the guard asks of it, and whether a call ran at the time.
class RecordingHost final : public GuardedHost {
public:
    CallGuard guard{*this};
    std::vector<std::string> log;

    void publishChanges() override { log.push_back(guard.busy() ? "publish (busy)" : "publish"); }
    void discardQueuedInput() override { log.push_back(guard.busy() ? "discard (busy)" : "discard"); }
    void repost(int message) override { log.push_back("repost " + std::to_string(message)); }
};

TEST(CallGuard, OneCallAtATimeAndWhatComesDuringItIsTurnedAwayOrKept) {
    RecordingHost host;
    bool innerRan = false;
    bool innerTaken = true;
    bool firstPosted = true;
    EXPECT_TRUE(host.guard.run([&] {
        EXPECT_TRUE(host.guard.busy());
        innerTaken = host.guard.run([&] { innerRan = true; });
        firstPosted = host.guard.admitPosted(5);
        EXPECT_FALSE(host.guard.admitPosted(6));
        host.log.push_back("call");
    }));
    EXPECT_FALSE(innerTaken) << "a call made while one runs is refused";
    EXPECT_FALSE(innerRan);
    EXPECT_FALSE(firstPosted) << "a message posted meanwhile waits";
    EXPECT_FALSE(host.guard.busy());
    // The call, its changes shown, then the waiting messages in their order once it is over.
    EXPECT_EQ(host.log, (std::vector<std::string>{"call", "publish (busy)", "repost 5", "repost 6"}));

    host.log.clear();
    EXPECT_TRUE(host.guard.admitPosted(7)) << "with no call running a message is delivered at once";
    EXPECT_TRUE(host.guard.run([] {}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"publish (busy)"})) << "a message delivered is not kept";
}

// Input made while work runs is dropped at the call's end, not replayed afterwards; a call that
// never let the toolkit run its loop leaves the queue alone (typing in an edit box goes on).
TEST(CallGuard, InputQueuedDuringWorkThatPumpedIsDroppedWhileStillBusy) {
    struct Row {
        std::string name;
        int pumps;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"no pump", 0, {"publish (busy)"}},
        {"one pump", 1, {"publish (busy)", "discard (busy)"}},
        {"many pumps, one discard", 40, {"publish (busy)", "discard (busy)"}},
    };
    for (const Row& row : rows) {
        RecordingHost host;
        host.guard.run([&] {
            for (int i = 0; i < row.pumps; ++i) CallGuard::notePump();
        });
        EXPECT_EQ(host.log, row.expected) << row.name;
    }
}

// Extraction in the content window steps the packer window's bar: the pump happens in the other
// dialog's host, and still counts for the call that runs the work.
TEST(CallGuard, APumpInAnotherDialogCountsForEveryRunningCall) {
    RecordingHost outer;
    RecordingHost inner;
    outer.guard.run([&] { inner.guard.run([] { CallGuard::notePump(); }); });
    EXPECT_EQ(inner.log, (std::vector<std::string>{"publish (busy)", "discard (busy)"}));
    EXPECT_EQ(outer.log, (std::vector<std::string>{"publish (busy)", "discard (busy)"}));
    RecordingHost after;
    after.guard.run([] {});
    EXPECT_EQ(after.log, (std::vector<std::string>{"publish (busy)"})) << "pumps before a call do not count for it";
}

TEST(CallGuard, ACallThatThrowsLeavesTheGuardFree) {
    RecordingHost host;
    EXPECT_THROW(host.guard.run([] { throw std::runtime_error("out of memory"); }), std::runtime_error);
    EXPECT_FALSE(host.guard.busy());
    EXPECT_TRUE(host.guard.admitPosted(1));
    EXPECT_TRUE(host.guard.run([] {}));
}

TEST(CallGuard, LongWorkRepaintsAtMostOncePerInterval) {
    using std::chrono::milliseconds;
    // Far from any time the other tests met.
    const auto start = std::chrono::steady_clock::now() + std::chrono::hours(1);
    struct Row {
        milliseconds at;
        bool due;
    };
    // The interval counts from the last pump that was due, not from a fixed beat.
    constexpr milliseconds interval = CallGuard::kPumpInterval;
    constexpr milliseconds late = interval * 3 + interval / 3;
    const std::vector<Row> rows = {
        {milliseconds(0), true},
        {milliseconds(1), false},
        {interval - milliseconds(1), false},
        {interval, true},
        {interval + interval / 2, false},
        {late, true},
        {late + interval - milliseconds(1), false},
        {late + interval, true},
    };
    for (const Row& row : rows) EXPECT_EQ(CallGuard::pumpDue(start + row.at), row.due) << row.at.count() << " ms";
}

}  // namespace
}  // namespace quillomar
