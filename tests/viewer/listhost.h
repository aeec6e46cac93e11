#pragma once
// A dialog host with a list view, for the content window's logic: columns and rows are records,
// the folder picker and the desktop answer what the test tells them and remember what they were
// asked, and a dialog run from this host can be played by the test.

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../window/fakehost.h"
#include "app/dialogtemplate.h"
#include "platform/progress.h"

namespace quillomar::test {

class ListHost : public FakeHost {
public:
    struct Column {
        std::string title;
        int width = 0;
    };
    struct Row {
        std::uintptr_t data = 0;
        std::vector<std::string> cells;
    };

    explicit ListHost(int dialogId = kContentDialogId, Language language = Language::Neutral)
        : FakeHost(dialogId, language) {}

    bool insertColumn(int id, int column, std::string_view title, int width) override {
        if (id != kListId || column < 0 || static_cast<int>(columns.size()) >= columnLimit) return false;
        column = std::min(column, static_cast<int>(columns.size()));
        columns.insert(columns.begin() + column, Column{std::string(title), width});
        for (Row& row : rows) row.cells.insert(row.cells.begin() + column, std::string());
        return true;
    }
    int insertRow(int id, int position, std::uintptr_t data) override {
        if (id != kListId) return -1;
        position = std::clamp(position, 0, static_cast<int>(rows.size()));
        rows.insert(rows.begin() + position, Row{data, std::vector<std::string>(columns.size())});
        return position;
    }
    void setCellText(int id, int row, int column, std::string_view text) override {
        if (id == kListId && row >= 0 && row < rowCount(id) && column >= 0 &&
            column < static_cast<int>(columns.size())) {
            rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)] = std::string(text);
        }
    }
    std::string cellText(int id, int row, int column) const override {
        if (id != kListId || row < 0 || row >= rowCount(id) || column < 0 || column >= static_cast<int>(columns.size())) {
            return {};
        }
        return rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    }
    int rowCount(int id) const override { return id == kListId ? static_cast<int>(rows.size()) : 0; }
    std::uintptr_t rowData(int id, int row) const override {
        return id == kListId && row >= 0 && row < rowCount(id) ? rows[static_cast<std::size_t>(row)].data : 0;
    }
    // Rows that compare equal keep their order, as in the window program.
    void sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) override {
        if (id != kListId) return;
        ++sorts;
        std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) { return compare(a.data, b.data) < 0; });
    }

    std::optional<std::string> pickFolder(std::string_view title) override {
        pickerTitles.emplace_back(title);
        if (duringPicker) duringPicker();
        return pickerAnswer;
    }
    bool openWithDesktop(const std::string& path) override {
        opened.push_back(path);
        return desktopAnswer;
    }
    int runDialog(int dialogId, DialogHandler& handler) override {

        return playDialog ? playDialog(dialogId, handler) : -1;
    }

    // Column i's texts, top row first.
    std::vector<std::string> column(int index) const {
        std::vector<std::string> texts;
        for (const Row& row : rows) texts.push_back(row.cells.at(static_cast<std::size_t>(index)));
        return texts;
    }

    static constexpr int kListId = 217;
    std::vector<Column> columns;
    std::vector<Row> rows;
    int columnLimit = 1000;  // insertColumn fails once this many columns exist
    int sorts = 0;

    std::vector<std::string> pickerTitles;
    std::optional<std::string> pickerAnswer;
    std::function<void()> duringPicker;
    std::vector<std::string> opened;
    bool desktopAnswer = true;
    std::function<int(int, DialogHandler&)> playDialog;
};

// The packer window's bar as the content window's work sees it.
class RecordingProgress : public ProgressSink {
public:
    void setRange(int low, int high) override { ranges.emplace_back(low, high); }
    void step() override { ++steps; }
    std::vector<std::pair<int, int>> ranges;
    int steps = 0;
};

}  // namespace quillomar::test
