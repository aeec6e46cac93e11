#pragma once
// The rows of a list view in report view, as both hosts hold them: each row a value of the
// logic's own and one text per column, kept in flat vectors, or made on demand by the logic's
// cell source. The host tells its control of the changes; the rows themselves live here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillomar {

class RowStore {
public:
    // A cell's text made from its row's value and its column (DialogHost::CellSource).
    using CellSource = std::function<std::string(std::uintptr_t value, int column)>;
    using Compare = std::function<int(std::uintptr_t, std::uintptr_t)>;

    int rowCount() const { return static_cast<int>(values_.size()); }
    int columnCount() const { return columns_; }

    // Inserts an empty column before column (clamped); returns its index.
    int insertColumn(int column);
    // Inserts an empty row before position (clamped); returns its index. When memory runs out the
    // store holds no row at all, rather than some of them, and std::bad_alloc goes on.
    int insertRow(int position, std::uintptr_t value);
    // Removes every row; the columns stay, and the rows' memory is kept for the next ones.
    void clearRows();

    // Stores text as the cell's; false (nothing stored) for a cell that does not exist and while
    // a source makes the cells.
    bool setCellText(int row, int column, std::string_view text);
    // The cell's text; empty for a cell that does not exist.
    std::string cellText(int row, int column) const;
    // The row's value; 0 for a row that does not exist.
    std::uintptr_t rowValue(int row) const;

    // From now on the cells are asked of source each time they are read and no text is stored.
    // Without a source again, every cell starts empty.
    void setCellSource(CellSource source);
    bool hasSource() const { return static_cast<bool>(source_); }

    // The rows in a new order, made in full before anything changes, so that a host can tell its
    // views just before the change and running out of memory changes nothing.
    class Sorted {
    public:
        // newRow[oldRow]: where each row goes.
        const std::vector<int>& newRows() const { return newRow_; }

    private:
        friend class RowStore;
        std::vector<std::uintptr_t> values_;
        std::vector<std::string> cells_;
        std::vector<int> newRow_;
    };
    // The rows ordered by compare over their values (negative: first before second); rows that
    // compare equal keep their order.
    Sorted sorted(const Compare& compare) const;
    // Takes the order sorted made; it must have been made from the rows as they are. sorted
    // keeps its newRows().
    void adopt(Sorted&& sorted) noexcept;

private:
    std::size_t cell(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
    }
    bool exists(int row, int column) const { return row >= 0 && row < rowCount() && column >= 0 && column < columns_; }

    int columns_ = 0;
    std::vector<std::uintptr_t> values_;  // one per row
    std::vector<std::string> cells_;      // row after row, columns_ texts each; empty with a source
    CellSource source_;
};

}  // namespace quillomar
