#pragma once
// Where a resizable dialog's controls go, in pixels, once it is made larger than its template,
// and how a list's columns share what the list gains in width. The hosts measure and place; the
// arithmetic is done here once, so that both windows lay themselves out alike.

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace quillomar {

// A rectangle in pixels of the dialog's client area; right and bottom lie just outside it.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    constexpr int right() const { return x + width; }
    constexpr int bottom() const { return y + height; }
    constexpr bool operator==(const Rect&) const = default;
};

// The edges a control follows when its dialog grows. By default it keeps its place and size.
struct Anchors {
    bool followRight = false;   // keeps its distance to the dialog's right edge
    bool followBottom = false;  // keeps its distance to the dialog's bottom edge
    bool growWidth = false;     // widens by what the dialog gained in width
    bool growHeight = false;    // grows taller by what the dialog gained in height
    // A pane at the dialog's right that, while shown, narrows the controls growing with the
    // dialog's width whose rows it shares, so that they end where it begins.
    bool sidePane = false;
};

// The width a control growing with the dialog keeps beside a shown side pane: it ends gap pixels
// before the pane, and keeps at least a quarter of its own width.
constexpr int widthBesidePane(int left, int width, int paneLeft, int gap) {
    const int beside = paneLeft - gap - left;
    return beside < width / 4 ? width / 4 : (beside < width ? beside : width);
}

// The controls of one dialog as its template placed them, and where they go at another size.
class AnchorLayout {
public:
    // templateWidth x templateHeight is the client area the template gives; paneGap the pixels
    // kept between a side pane and the controls it narrows.
    AnchorLayout(int templateWidth, int templateHeight, int paneGap);

    // Adds a control placed at rect; its index is the number of controls added before it.
    void add(Rect rect, Anchors anchors);
    std::size_t size() const { return controls_.size(); }

    // Each control's rectangle, by index, in a client area of width x height. The dialog is
    // never laid out smaller than its template. shown(index) is asked of the side panes only.
    std::vector<Rect> place(int width, int height, const std::function<bool(std::size_t)>& shown) const;

private:
    struct Control {
        Rect rect;
        Anchors anchors;
    };
    Rect moved(const Control& control, int dx, int dy) const;

    int templateWidth_;
    int templateHeight_;
    int paneGap_;
    std::vector<Control> controls_;
};

// The width of each column of a list that has gained `gained` pixels over its template's width:
// the columns named in stretch (those that exist, each once) share the gain, the first of them
// taking what does not divide evenly; the others keep their widths. A list narrower than its
// template gives every column its own width.
std::vector<int> stretchedWidths(std::span<const int> widths, std::span<const int> stretch, int gained);

}  // namespace quillomar
