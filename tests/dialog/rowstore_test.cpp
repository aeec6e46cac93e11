#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/rowstore.h"

namespace quillomar {
namespace {

// Every cell's text, row after row.
std::vector<std::vector<std::string>> texts(const RowStore& store) {
    std::vector<std::vector<std::string>> all;
    for (int row = 0; row < store.rowCount(); ++row) {
        std::vector<std::string>& cells = all.emplace_back();
        for (int column = 0; column < store.columnCount(); ++column) cells.push_back(store.cellText(row, column));
    }
    return all;
}

std::vector<std::uintptr_t> values(const RowStore& store) {
    std::vector<std::uintptr_t> all;
    for (int row = 0; row < store.rowCount(); ++row) all.push_back(store.rowValue(row));
    return all;
}

// Three rows of two columns: "a0 a1" (value 3), "b0 b1" (value 1), "c0 c1" (value 2).
RowStore threeRows() {
    RowStore store;
    store.insertColumn(0);
    store.insertColumn(1);
    const std::vector<std::pair<std::uintptr_t, std::string>> rows = {{3, "a"}, {1, "b"}, {2, "c"}};
    for (const auto& [value, name] : rows) {
        const int row = store.insertRow(store.rowCount(), value);
        store.setCellText(row, 0, name + "0");
        store.setCellText(row, 1, name + "1");
    }
    return store;
}

TEST(RowStore, RowsAndColumnsGoWhereAskedClampedAndKeepTheirTexts) {
    RowStore store = threeRows();
    EXPECT_EQ(store.insertRow(-5, 10), 0) << "before the first row";
    EXPECT_EQ(store.insertRow(99, 11), 4) << "after the last row";
    EXPECT_EQ(store.insertRow(2, 12), 2);
    EXPECT_EQ(values(store), (std::vector<std::uintptr_t>{10, 3, 12, 1, 2, 11}));
    EXPECT_EQ(store.insertColumn(1), 1);
    EXPECT_EQ(store.insertColumn(99), 3);
    EXPECT_EQ(texts(store)[1], (std::vector<std::string>{"a0", "", "a1", ""})) << "texts move right of a new column";
    EXPECT_EQ(texts(store)[2], (std::vector<std::string>(4))) << "a new row's cells are empty";
}

TEST(RowStore, CellsThatDoNotExistAreNeitherStoredNorRead) {
    RowStore store = threeRows();
    for (const auto& [row, column] : std::vector<std::pair<int, int>>{{-1, 0}, {3, 0}, {0, -1}, {0, 2}}) {
        EXPECT_FALSE(store.setCellText(row, column, "x")) << row << "," << column;
        EXPECT_EQ(store.cellText(row, column), "") << row << "," << column;
    }
    EXPECT_EQ(store.rowValue(-1), 0U);
    EXPECT_EQ(store.rowValue(3), 0U);
    EXPECT_EQ(texts(store), (std::vector<std::vector<std::string>>{{"a0", "a1"}, {"b0", "b1"}, {"c0", "c1"}}));
}

TEST(RowStore, ASourceMakesEveryCellAndLeavingItEmptiesThem) {
    RowStore store = threeRows();
    store.setCellSource([](std::uintptr_t value, int column) { return std::to_string(value * 10 + column); });
    EXPECT_TRUE(store.hasSource());
    EXPECT_FALSE(store.setCellText(0, 0, "kept?"));
    EXPECT_EQ(store.insertRow(1, 7), 1);
    EXPECT_EQ(store.insertColumn(2), 2);
    EXPECT_EQ(texts(store), (std::vector<std::vector<std::string>>{
                                {"30", "31", "32"}, {"70", "71", "72"}, {"10", "11", "12"}, {"20", "21", "22"}}));
    store.setCellSource({});
    EXPECT_FALSE(store.hasSource());
    EXPECT_EQ(texts(store), (std::vector<std::vector<std::string>>(4, std::vector<std::string>(3))));
    EXPECT_TRUE(store.setCellText(3, 2, "z"));
    EXPECT_EQ(store.cellText(3, 2), "z");
}

// The content window sorts by columns whose values often compare equal (type, folder, size).
TEST(RowStore, SortingIsStableMovesTheTextsWithTheirRowsAndSaysWhereEachWent) {
    RowStore store = threeRows();
    store.insertRow(3, 1);
    store.setCellText(3, 0, "d0");
    const auto ascending = [](std::uintptr_t a, std::uintptr_t b) { return a < b ? -1 : (a > b ? 1 : 0); };
    RowStore::Sorted sorted = store.sorted(ascending);
    EXPECT_EQ(values(store), (std::vector<std::uintptr_t>{3, 1, 2, 1})) << "nothing moves before adopt";
    const std::vector<int> newRows = sorted.newRows();
    store.adopt(std::move(sorted));
    EXPECT_EQ(values(store), (std::vector<std::uintptr_t>{1, 1, 2, 3}));
    EXPECT_EQ(newRows, (std::vector<int>{3, 0, 2, 1}));
    EXPECT_EQ(texts(store),
              (std::vector<std::vector<std::string>>{{"b0", "b1"}, {"d0", ""}, {"c0", "c1"}, {"a0", "a1"}}));

    store.setCellSource([](std::uintptr_t value, int) { return std::to_string(value); });
    store.adopt(store.sorted([&](std::uintptr_t a, std::uintptr_t b) { return ascending(b, a); }));
    EXPECT_EQ(texts(store), (std::vector<std::vector<std::string>>{{"3", "3"}, {"2", "2"}, {"1", "1"}, {"1", "1"}}));
}

TEST(RowStore, ClearingRemovesTheRowsAndKeepsTheColumns) {
    RowStore store = threeRows();
    store.clearRows();
    EXPECT_EQ(store.rowCount(), 0);
    EXPECT_EQ(store.columnCount(), 2);
    EXPECT_EQ(store.insertRow(5, 9), 0);
    EXPECT_EQ(texts(store), (std::vector<std::vector<std::string>>{{"", ""}}));
}

}  // namespace
}  // namespace quillomar
