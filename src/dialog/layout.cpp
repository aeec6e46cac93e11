#include "dialog/layout.h"

#include <algorithm>

namespace quillomar {

AnchorLayout::AnchorLayout(int templateWidth, int templateHeight, int paneGap)
    : templateWidth_(templateWidth), templateHeight_(templateHeight), paneGap_(paneGap) {}

void AnchorLayout::add(Rect rect, Anchors anchors) { controls_.push_back({rect, anchors}); }

Rect AnchorLayout::moved(const Control& control, int dx, int dy) const {
    Rect rect = control.rect;
    if (control.anchors.followRight) rect.x += dx;
    if (control.anchors.followBottom) rect.y += dy;
    if (control.anchors.growWidth) rect.width += dx;
    if (control.anchors.growHeight) rect.height += dy;
    return rect;
}

std::vector<Rect> AnchorLayout::place(int width, int height, const std::function<bool(std::size_t)>& shown) const {
    const int dx = std::max(0, width - templateWidth_);
    const int dy = std::max(0, height - templateHeight_);
    std::vector<Rect> panes;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].anchors.sidePane && shown(i)) panes.push_back(moved(controls_[i], dx, dy));
    }
    std::vector<Rect> placed;
    placed.reserve(controls_.size());
    for (const Control& control : controls_) {
        Rect rect = moved(control, dx, dy);
        if (control.anchors.growWidth) {
            for (const Rect& pane : panes) {
                if (rect.y < pane.bottom() && pane.y < rect.bottom())
                    rect.width = widthBesidePane(rect.x, rect.width, pane.x, paneGap_);
            }
        }
        placed.push_back(rect);
    }
    return placed;
}

std::vector<int> stretchedWidths(std::span<const int> widths, std::span<const int> stretch, int gained) {
    std::vector<int> result(widths.begin(), widths.end());
    std::vector<std::size_t> stretching;
    for (int column : stretch) {
        if (column < 0 || static_cast<std::size_t>(column) >= widths.size()) continue;
        const auto at = static_cast<std::size_t>(column);
        if (std::find(stretching.begin(), stretching.end(), at) == stretching.end()) stretching.push_back(at);
    }
    if (stretching.empty() || gained <= 0) return result;
    const int count = static_cast<int>(stretching.size());
    const int share = gained / count;
    for (std::size_t column : stretching) result[column] += share;
    result[stretching.front()] += gained - share * count;
    return result;
}

}  // namespace quillomar
