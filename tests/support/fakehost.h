#pragma once
// A dialog host without a display: controls are records seeded from the dialog's template, posted
// messages wait until the test runs them, the progress bar and the content list view are records,
// and the folder picker and the desktop answer what the test tells them.

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogtemplate.h"
#include "dialog/dialoghost.h"

namespace quillomar::test {

class FakeHost : public DialogHost {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool checked = false;
        std::optional<std::size_t> limit;  // characters the user can type in an edit box
        bool shown = true;
    };
    struct Bar {
        int step = 0;
        int position = 0;
        int steps = 0;                            // step calls received
        std::vector<std::pair<int, int>> ranges;  // every range set, in order
    };
    struct Row {
        std::uintptr_t data = 0;
        std::vector<std::string> cells;
    };
    static constexpr int kListId = viewer::kList;

    explicit FakeHost(int dialogId, Language language = Language::Neutral) {
        for (const ControlTemplate& c : findDialogTemplate(dialogId)->controls) {
            if (c.id != kNoControlId)
                controls[c.id] = Control{std::string(c.text.in(language)), !c.has(kStyleDisabled), false, std::nullopt,
                                         !c.has(kStyleHidden)};
        }
    }

    // Initialises the logic, as the dialog manager does before showing the dialog.
    void start(DialogHandler& handler) {
        handler_ = &handler;
        handler.onInit(*this);
    }
    // Delivers what was posted, in order, including what the deliveries post.
    void runPosted() {
        while (!posted.empty()) {
            std::function<void()> next = std::move(posted.front());
            posted.pop_front();
            next();
        }
    }
    const std::string& text(int id) const { return controls.at(id).text; }
    bool enabled(int id) const { return controls.at(id).enabled; }
    // Column i's texts, top row first.
    std::vector<std::string> column(std::size_t index) const {
        std::vector<std::string> texts;
        for (std::size_t row = 0; row < rows.size(); ++row) texts.push_back(cells(row).at(index));
        return texts;
    }
    // A row's texts, as set or as the cell source makes them.
    std::vector<std::string> cells(std::size_t row) const {
        if (!cellSource) return rows.at(row).cells;
        std::vector<std::string> texts;
        for (std::size_t c = 0; c < columns.size(); ++c)
            texts.push_back(cellSource(rows.at(row).data, static_cast<int>(c)));
        return texts;
    }
    // Selects rows (top to bottom) with current the row that has the focus.
    void select(std::vector<int> selection, int current = -1) {
        selected = std::move(selection);
        focused = current;
    }

    void setItemText(int id, std::string_view value) override { at(id).text = std::string(value); }
    std::string itemText(int id) const override { return controls.count(id) ? controls.at(id).text : std::string(); }
    using DialogHost::itemText;
    void limitText(int id, std::size_t maxCharacters) override { at(id).limit = maxCharacters; }
    void enableItem(int id, bool on) override { at(id).enabled = on; }
    bool isChecked(int id) const override { return controls.count(id) != 0 && controls.at(id).checked; }
    void setChecked(int id, bool on) override { at(id).checked = on; }

    void setProgressRange(int id, int low, int high) override {
        at(id);
        bar.ranges.emplace_back(low, high);
    }
    void setProgressStep(int id, int step) override {
        at(id);
        bar.step = step;
    }
    void setProgressPos(int id, int position) override {
        at(id);
        bar.position = position;
    }
    void postProgressPos(int id, int position) override {
        posted.push_back([this, id, position] { setProgressPos(id, position); });
    }
    void stepProgress(int id) override {
        at(id);
        ++bar.steps;
        bar.position += bar.step;
        if (onStep) onStep();
    }

    bool insertColumn(int id, int column, std::string_view title, int width) override {
        if (id != kListId || column != static_cast<int>(columns.size()) || column >= columnLimit) return false;
        columns.emplace_back(std::string(title), width);
        for (Row& row : rows) row.cells.emplace_back();
        return true;
    }
    int insertRow(int id, int position, std::uintptr_t data) override {
        if (id != kListId) return -1;
        position = std::clamp(position, 0, rowCount(id));
        rows.insert(rows.begin() + position, Row{data, std::vector<std::string>(columns.size())});
        return position;
    }
    void setCellText(int id, int row, int column, std::string_view text) override {
        // Cells of columns that could not be inserted are dropped, as by the list view.
        if (id != kListId) return;
        std::vector<std::string>& cells = rows.at(static_cast<std::size_t>(row)).cells;
        if (static_cast<std::size_t>(column) < cells.size()) cells[static_cast<std::size_t>(column)] = text;
    }
    std::string cellText(int id, int row, int column) const override {
        return id == kListId ? cells(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column)) : "";
    }
    int rowCount(int id) const override { return id == kListId ? static_cast<int>(rows.size()) : 0; }
    std::uintptr_t rowData(int id, int row) const override {
        return id == kListId && row >= 0 && row < rowCount(id) ? rows[static_cast<std::size_t>(row)].data : 0;
    }
    // Rows that compare equal keep their order, as in the window program.
    void sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) override {
        if (id == kListId) {
            std::stable_sort(rows.begin(), rows.end(),
                             [&](const Row& a, const Row& b) { return compare(a.data, b.data) < 0; });
        }
    }

    void setCellSource(int id, CellSource source) override {
        if (id == kListId) cellSource = std::move(source);
    }
    std::vector<int> selectedRows(int id) const override { return id == kListId ? selected : std::vector<int>(); }
    int currentRow(int id) const override { return id == kListId ? focused : -1; }
    void setStretchColumns(int id, std::vector<int> stretching) override {
        if (id == kListId) stretchColumns = std::move(stretching);
    }
    void acceptListDrops(int id) override {
        if (id == kListId) takesDrops = true;
    }
    void editRowText(int id, int row, std::string_view text) override {
        if (id == kListId) editing = Editing{row, std::string(text)};
    }
    bool askYesNo(std::string_view text) override {
        questions.emplace_back(text);
        return questionAnswer;
    }
    int popupMenu(const std::vector<MenuItem>& items) override {
        menus.push_back(items);
        return menuAnswer;
    }
    void setClipboardText(std::string_view text) override { clipboard = std::string(text); }

    void clearRows(int id) override {
        if (id != kListId) return;
        rows.clear();
        selected.clear();
        focused = -1;
        ++clears;
    }
    void setFocusItem(int id) override {
        at(id);
        focus = id;
    }
    int focusedItem() const override { return focus; }
    void showItem(int id, bool shown) override { at(id).shown = shown; }
    bool isItemShown(int id) const override { return controls.count(id) != 0 && controls.at(id).shown; }
    void setAccelerators(std::vector<Accelerator> keys) override { accelerators = std::move(keys); }
    void setPaneContent(int id, const PaneContent& content) override {
        at(id);
        pane = content;
        ++paneUpdates;
    }
    // Types text into edit box id as the user does: cut where the box's limit stops the keyboard,
    // and the logic hears of the change.
    void type(int id, std::string_view text) {
        at(id).text = at(id).limit ? firstCharacters(text, *at(id).limit) : std::string(text);
        focus = id;
        if (handler_ != nullptr) handler_->onEditChange(id);
    }
    // A key of the accelerator table, pressed: its command reaches the logic. False when the key
    // has none.
    bool press(int key, bool control = false) {
        for (const Accelerator& a : accelerators) {
            if (a.key == key && a.control == control) {
                handler_->onCommand(a.command);
                return true;
            }
        }
        return false;
    }
    // Moves the current row as the keyboard does; the logic hears of it.
    void moveTo(int row) {
        focused = row;
        handler_->onCurrentRowChange(kListId, row);
    }

    void setIcon(int id) override { iconId = id; }
    void postMessage(int message) override {
        postedMessages.push_back(message);
        posted.push_back([this, message] { handler_->onPostedMessage(message); });
    }
    void endDialog(int result) override { endResult = result; }
    int runDialog(int, DialogHandler&) override { return -1; }
    std::optional<std::string> pickFolder(std::string_view title) override {
        pickerTitles.emplace_back(title);
        if (duringPicker) duringPicker();
        return pickerAnswer;
    }
    bool openWithDesktop(const std::string& path) override {
        opened.push_back(path);
        return desktopAnswer;
    }

    std::map<int, Control> controls;
    Bar bar;
    std::deque<std::function<void()>> posted;
    std::vector<int> postedMessages;
    std::optional<int> endResult;
    int iconId = 0;
    std::function<void()> onStep;  // runs inside every progress step, while the logic is at work

    std::vector<std::pair<std::string, int>> columns;  // title and width
    std::vector<Row> rows;
    int columnLimit = 1000;  // insertColumn fails once this many columns exist
    std::vector<std::string> pickerTitles;
    std::optional<std::string> pickerAnswer;  // nullopt: the picker is cancelled
    std::function<void()> duringPicker;
    std::vector<std::string> opened;
    bool desktopAnswer = true;
    CellSource cellSource;
    std::vector<int> selected;
    int focused = -1;
    std::vector<int> stretchColumns;
    std::vector<std::vector<MenuItem>> menus;  // every popup menu shown
    int menuAnswer = 0;                        // the command chosen; 0: dismissed
    std::string clipboard;
    int clears = 0;  // clearRows calls
    int focus = 0;   // the control with the keyboard focus
    std::vector<Accelerator> accelerators;
    PaneContent pane;
    int paneUpdates = 0;
    bool takesDrops = false;
    struct Editing {
        int row = -1;
        std::string text;
    };
    std::optional<Editing> editing;      // the editor editRowText opened last
    std::vector<std::string> questions;  // every question asked
    bool questionAnswer = true;          // Yes

private:
    Control& at(int id) {
        auto found = controls.find(id);
        if (found == controls.end()) throw std::out_of_range("no control " + std::to_string(id));
        return found->second;
    }

    DialogHandler* handler_ = nullptr;
};

}  // namespace quillomar::test
