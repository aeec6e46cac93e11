#include "dialog/rowstore.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace quillomar {

int RowStore::insertColumn(int column) {
    column = std::clamp(column, 0, columns_);
    if (!source_ && !values_.empty()) {
        const std::size_t wider = static_cast<std::size_t>(columns_) + 1;
        std::vector<std::string> widened(values_.size() * wider);
        for (int row = 0; row < rowCount(); ++row) {
            for (int c = 0; c < columns_; ++c) {
                const std::size_t to =
                    static_cast<std::size_t>(row) * wider + static_cast<std::size_t>(c < column ? c : c + 1);
                widened[to] = std::move(cells_[cell(row, c)]);
            }
        }
        cells_ = std::move(widened);
    }
    ++columns_;
    return column;
}

int RowStore::insertRow(int position, std::uintptr_t value) {
    position = std::clamp(position, 0, rowCount());
    try {
        values_.insert(values_.begin() + position, value);
        if (!source_) {
            cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(cell(position, 0)),
                          static_cast<std::size_t>(columns_), std::string());
        }
    } catch (const std::bad_alloc&) {
        // A list that cannot hold every row holds none: its memory goes back, and no control is
        // left to show rows whose texts are missing.
        values_.clear();
        values_.shrink_to_fit();
        cells_.clear();
        cells_.shrink_to_fit();
        throw;
    }
    return position;
}

void RowStore::clearRows() {
    values_.clear();
    cells_.clear();
}

bool RowStore::setCellText(int row, int column, std::string_view text) {
    if (source_ || !exists(row, column)) return false;
    cells_[cell(row, column)].assign(text);
    return true;
}

std::string RowStore::cellText(int row, int column) const {
    if (!exists(row, column)) return {};
    if (source_) return source_(values_[static_cast<std::size_t>(row)], column);
    return cells_[cell(row, column)];
}

std::uintptr_t RowStore::rowValue(int row) const {
    return row >= 0 && row < rowCount() ? values_[static_cast<std::size_t>(row)] : 0;
}

void RowStore::setCellSource(CellSource source) {
    source_ = std::move(source);
    cells_.clear();
    if (!source_) cells_.resize(values_.size() * static_cast<std::size_t>(columns_));
    cells_.shrink_to_fit();
}

RowStore::Sorted RowStore::sorted(const Compare& compare) const {
    const std::size_t rows = values_.size();
    std::vector<int> order(rows);  // order[newRow] = oldRow
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare(values_[static_cast<std::size_t>(a)], values_[static_cast<std::size_t>(b)]) < 0;
    });
    Sorted result;
    result.values_.resize(rows);
    result.newRow_.resize(rows);
    if (!source_) result.cells_.resize(cells_.size());
    for (std::size_t to = 0; to < rows; ++to) {
        const int from = order[to];
        result.values_[to] = values_[static_cast<std::size_t>(from)];
        result.newRow_[static_cast<std::size_t>(from)] = static_cast<int>(to);
        if (source_) continue;
        for (int c = 0; c < columns_; ++c) result.cells_[cell(static_cast<int>(to), c)] = cells_[cell(from, c)];
    }
    return result;
}

void RowStore::adopt(Sorted&& sorted) noexcept {
    values_.swap(sorted.values_);
    if (!source_) cells_.swap(sorted.cells_);
}

}  // namespace quillomar
