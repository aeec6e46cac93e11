#pragma once
// The preview pane: the current entry's text in a read-only view that scrolls, its picture scaled
// to fit (never beyond four times its size) over a line with its size in pixels, or a message in
// the middle. Pictures the toolkit reads (BMP, PNG, JPEG, GIF) are decoded here with QImage; the
// others come decoded as pixels.

#include <QFrame>
#include <QImage>

#include "dialog/dialoghost.h"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace quillomar {

class PreviewPane final : public QFrame {
    Q_OBJECT

public:
    explicit PreviewPane(QWidget* parent);

    void setContent(const PaneContent& content);

    // What it shows, for tests: the page's kind, the text or message, the picture and its caption.
    PaneContent::Kind shownKind() const { return kind_; }
    QString shownText() const;
    const QImage& picture() const { return picture_; }
    QString caption() const;
    // The picture's size on screen, in pixels.
    QSize pictureShownSize() const;

private:
    class PictureView;
    void showMessage(const QString& text);
    void showPicture(QImage picture, const std::string& sizeFormat);

    QStackedWidget* pages_;
    QPlainTextEdit* text_;
    PictureView* pictureView_;
    QLabel* caption_;
    QLabel* message_;
    QImage picture_;
    PaneContent::Kind kind_ = PaneContent::Kind::Empty;
};

}  // namespace quillomar
