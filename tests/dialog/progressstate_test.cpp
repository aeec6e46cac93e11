#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "dialog/progressstate.h"

namespace quillomar {
namespace {

TEST(ProgressState, AStepPastTheTopStartsOverFromTheBottom) {
    struct Row {
        std::string name;
        int low, high, step, position;
        int expected;
    };
    const std::vector<Row> rows = {
        {"inside the range", 0, 100, 10, 50, 60},
        {"onto the top", 0, 100, 10, 90, 100},
        {"one past the top", 0, 100, 1, 100, 1},
        {"past the top of a range off zero", 10, 20, 7, 18, 15},
        {"a step longer than the range", 0, 10, 25, 0, 5},
        {"an empty range stays at its bottom", 5, 5, 1, 5, 5},
        {"a negative step stops at the bottom", 0, 100, -30, 10, 0},
        {"no overflow at the top of int", INT_MAX - 10, INT_MAX, 20, INT_MAX - 5, INT_MAX - 5},
    };
    for (const Row& row : rows) {
        ProgressState bar{row.low, row.high, row.step, row.position};
        bar.stepIt();
        EXPECT_EQ(bar.position, row.expected) << row.name;
    }
}

TEST(ProgressState, APositionStaysInsideItsRange) {
    ProgressState bar;
    bar.setPosition(150);
    EXPECT_EQ(bar.position, 100);
    bar.setPosition(-3);
    EXPECT_EQ(bar.position, 0);
    bar.setPosition(40);
    bar.setRange(50, 60);
    EXPECT_EQ(bar.position, 50) << "a new range takes the position in";
    bar.setRange(0, 10);
    EXPECT_EQ(bar.position, 10);
    bar.setRange(8, 2);
    EXPECT_EQ(bar.position, 8) << "a range upside down holds its bottom only";
}

}  // namespace
}  // namespace quillomar
