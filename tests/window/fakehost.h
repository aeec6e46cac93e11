#pragma once
// A dialog host without a display: controls are records seeded from the dialog's template,
// posted messages wait in a queue until the test runs them, and the progress bar counts.

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogtemplate.h"
#include "platform/dialoghost.h"

namespace quillomar::test {

class FakeHost : public DialogHost {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool checked = false;
        bool operator==(const Control&) const = default;
    };
    struct Bar {
        int low = 0;
        int high = 100;
        int step = 10;
        int position = 0;
        int steps = 0;                            // step calls received
        std::vector<std::pair<int, int>> ranges;  // every range set, in order
    };

    FakeHost(const DialogTemplate& dialog, Language language) {
        for (const ControlTemplate& c : dialog.controls) {
            if (c.id == kNoControlId) continue;
            controls[c.id] = Control{std::string(c.text.in(language)), !c.has(kStyleDisabled), false};
            if (c.kind == ControlKind::ProgressBar) bars[c.id] = Bar{};
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

    void setItemText(int id, std::string_view value) override { at(id).text = std::string(value); }
    std::string itemText(int id) const override {
        auto found = controls.find(id);
        return found == controls.end() ? std::string() : found->second.text;
    }
    using DialogHost::itemText;
    void enableItem(int id, bool on) override { at(id).enabled = on; }
    bool isChecked(int id) const override { return controls.count(id) != 0 && controls.at(id).checked; }
    void setChecked(int id, bool on) override { at(id).checked = on; }

    void setProgressRange(int id, int low, int high) override {
        Bar& b = bars.at(id);
        b.low = low;
        b.high = high;
        b.position = std::clamp(b.position, low, std::max(low, high));
        b.ranges.emplace_back(low, high);
    }
    void setProgressStep(int id, int step) override { bars.at(id).step = step; }
    void setProgressPos(int id, int position) override {
        Bar& b = bars.at(id);
        b.position = std::clamp(position, b.low, std::max(b.low, b.high));
    }
    void postProgressPos(int id, int position) override {
        posted.push_back([this, id, position] { setProgressPos(id, position); });
    }
    void stepProgress(int id) override {
        Bar& b = bars.at(id);
        ++b.steps;
        b.position += b.step;
        if (b.position > b.high) b.position = b.high > b.low ? b.low + (b.position - b.low) % (b.high - b.low) : b.low;
        if (onStep) onStep();
    }

    bool insertColumn(int, int, std::string_view, int) override { return false; }
    int insertRow(int, int, std::uintptr_t) override { return -1; }
    void setCellText(int, int, int, std::string_view) override {}
    std::string cellText(int, int, int) const override { return {}; }
    int rowCount(int) const override { return 0; }
    std::uintptr_t rowData(int, int) const override { return 0; }
    void sortRows(int, const std::function<int(std::uintptr_t, std::uintptr_t)>&) override {}

    void setIcon(int id) override { iconId = id; }
    void postMessage(int message) override {
        postedMessages.push_back(message);
        posted.push_back([this, message] { handler_->onPostedMessage(message); });
    }
    void endDialog(int result) override { endResult = result; }
    int runDialog(int dialogId, DialogHandler&) override {
        childDialogs.push_back(dialogId);
        return -1;
    }
    std::optional<std::string> pickFolder(std::string_view) override { return std::nullopt; }
    bool openWithDesktop(const std::string&) override { return false; }

    std::map<int, Control> controls;
    std::map<int, Bar> bars;
    std::deque<std::function<void()>> posted;
    std::vector<int> postedMessages;
    std::vector<int> childDialogs;
    std::optional<int> endResult;
    int iconId = 0;
    // Runs inside every progress step, while the logic is at work.
    std::function<void()> onStep;

private:
    Control& at(int id) {
        auto found = controls.find(id);
        if (found == controls.end()) throw std::out_of_range("no control " + std::to_string(id));
        return found->second;
    }

    DialogHandler* handler_ = nullptr;
};

}  // namespace quillomar::test
