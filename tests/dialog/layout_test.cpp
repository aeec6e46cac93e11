#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/layout.h"

namespace quillomar {
namespace {

constexpr Anchors kStays{};
constexpr Anchors kRight{.followRight = true};
constexpr Anchors kBottom{.followBottom = true};
constexpr Anchors kWide{.growWidth = true};
constexpr Anchors kTall{.growHeight = true};
constexpr Anchors kCorner{.followRight = true, .followBottom = true};
constexpr Anchors kFills{.growWidth = true, .growHeight = true};
constexpr Anchors kPane{.followRight = true, .growHeight = true, .sidePane = true};

bool allShown(std::size_t) { return true; }

// A 200 x 100 template grown to the size of each row: where one control at (10, 20, 50 x 30) goes.
TEST(AnchorLayout, EachControlFollowsTheEdgesItsAnchorsName) {
    struct Row {
        std::string name;
        Anchors anchors;
        int width, height;
        Rect expected;
    };
    const std::vector<Row> rows = {
        {"keeps its place and size", kStays, 260, 140, {10, 20, 50, 30}},
        {"follows the right edge", kRight, 260, 140, {70, 20, 50, 30}},
        {"follows the bottom edge", kBottom, 260, 140, {10, 60, 50, 30}},
        {"widens", kWide, 260, 140, {10, 20, 110, 30}},
        {"grows taller", kTall, 260, 140, {10, 20, 50, 70}},
        {"keeps to the corner", kCorner, 260, 140, {70, 60, 50, 30}},
        {"fills both ways", kFills, 260, 140, {10, 20, 110, 70}},
        {"at the template's size", kFills, 200, 100, {10, 20, 50, 30}},
        {"never smaller than the template", kFills, 150, 60, {10, 20, 50, 30}},
        {"narrower, taller", kCorner, 120, 101, {10, 21, 50, 30}},
    };
    for (const Row& row : rows) {
        AnchorLayout layout(200, 100, 6);
        layout.add({10, 20, 50, 30}, row.anchors);
        EXPECT_EQ(layout.place(row.width, row.height, allShown), std::vector<Rect>{row.expected}) << row.name;
    }
}

// A list under the pane's place that widens, a pane at the right (rows 0..100) and a row of
// controls just below the pane (rows 100..110) that widens too.
TEST(AnchorLayout, AShownSidePaneNarrowsTheWideningControlsOfItsRowsOnly) {
    struct Row {
        std::string name;
        bool paneShown;
        int width;
        Rect list, below;
    };
    const std::vector<Row> rows = {
        {"hidden pane: the list takes the whole gain", false, 300, {0, 10, 300, 80}, {0, 100, 300, 10}},
        {"shown pane: the list ends a gap before it", true, 300, {0, 10, 244, 80}, {0, 100, 300, 10}},
        {"shown pane at the template's size", true, 200, {0, 10, 144, 80}, {0, 100, 200, 10}},
    };
    for (const Row& row : rows) {
        AnchorLayout layout(200, 110, 6);
        layout.add({0, 10, 200, 80}, kWide);
        layout.add({150, 0, 50, 100}, kPane);
        layout.add({0, 100, 200, 10}, kWide);
        const std::vector<Rect> placed =
            layout.place(row.width, 110, [&](std::size_t i) { return i != 1 || row.paneShown; });
        ASSERT_EQ(placed.size(), 3U);
        EXPECT_EQ(placed[0], row.list) << row.name;
        EXPECT_EQ(placed[1], (Rect{150 + row.width - 200, 0, 50, 100})) << row.name << ": the pane follows the right";
        EXPECT_EQ(placed[2], row.below) << row.name;
    }
    // However close the pane, a quarter of the control stays.
    EXPECT_EQ(widthBesidePane(0, 200, 40, 6), 50);
    EXPECT_EQ(widthBesidePane(10, 200, 300, 6), 200) << "a pane far to the right takes nothing";
}

// Rows touch without sharing a pixel: a control whose bottom is the pane's top is beside nothing.
TEST(AnchorLayout, AControlEndingWhereThePaneBeginsIsNotNarrowed) {
    AnchorLayout layout(200, 200, 4);
    layout.add({0, 0, 190, 50}, kWide);
    layout.add({160, 50, 40, 150}, kPane);
    layout.add({0, 50, 190, 1}, kWide);
    const std::vector<Rect> placed = layout.place(200, 200, allShown);
    EXPECT_EQ(placed[0].width, 190);
    EXPECT_EQ(placed[2].width, 156) << "one shared pixel row is beside the pane";
}

TEST(StretchedWidths, TheStretchingColumnsShareTheGainAndTheFirstTakesTheRemainder) {
    struct Row {
        std::string name;
        std::vector<int> stretch;
        int gained;
        std::vector<int> expected;
    };
    const std::vector<int> widths = {100, 50, 80, 60};
    const std::vector<Row> rows = {
        {"no stretching column", {}, 90, {100, 50, 80, 60}},
        {"one column takes all", {2}, 90, {100, 50, 170, 60}},
        {"two columns, even gain", {0, 2}, 90, {145, 50, 125, 60}},
        {"three columns, the first named takes the remainder", {3, 0, 1}, 91, {130, 80, 80, 91}},
        {"columns that do not exist take no share", {-1, 1, 7, 3}, 91, {100, 96, 80, 105}},
        {"a column named twice takes one share", {1, 1, 2}, 10, {100, 55, 85, 60}},
        {"no gain", {0, 1}, 0, {100, 50, 80, 60}},
        {"narrower than the template", {0, 1}, -40, {100, 50, 80, 60}},
    };
    for (const Row& row : rows) EXPECT_EQ(stretchedWidths(widths, row.stretch, row.gained), row.expected) << row.name;
    EXPECT_TRUE(stretchedWidths({}, std::vector<int>{0}, 50).empty());
}

}  // namespace
}  // namespace quillomar
