#include "ui/previewpane.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace quillomar {

namespace {

enum Page { kTextPage = 0, kPicturePage = 1, kMessagePage = 2 };

QString qs(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

// Draws the picture centred, as large as fits and at most four times its size. Enlarged, its
// pixels stay sharp squares; reduced, it is smoothed.
class PreviewPane::PictureView final : public QWidget {
public:
    explicit PictureView(QWidget* parent) : QWidget(parent) {}
    void setPicture(const QImage* picture) {
        picture_ = picture;
        update();
    }
    QSize shownSize() const {
        if (picture_ == nullptr || picture_->isNull()) return {};
        const double scale = pictureScale(picture_->width(), picture_->height(), width(), height());
        return {static_cast<int>(std::lround(picture_->width() * scale)),
                static_cast<int>(std::lround(picture_->height() * scale))};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QSize size = shownSize();
        if (size.isEmpty()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, size.width() < picture_->width());
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        painter.drawImage(target, *picture_);
    }

private:
    const QImage* picture_ = nullptr;
};

PreviewPane::PreviewPane(QWidget* parent)
    : QFrame(parent),
      pages_(new QStackedWidget(this)),
      text_(new QPlainTextEdit(pages_)),
      pictureView_(new PictureView(nullptr)),
      caption_(new QLabel),
      message_(new QLabel(pages_)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFrameStyle(QFrame::NoFrame);

    auto* picturePage = new QWidget(pages_);
    auto* pictureLayout = new QVBoxLayout(picturePage);
    pictureLayout->setContentsMargins(2, 2, 2, 2);
    pictureView_->setParent(picturePage);
    pictureLayout->addWidget(pictureView_, 1);
    caption_->setParent(picturePage);
    caption_->setAlignment(Qt::AlignHCenter);
    caption_->setTextFormat(Qt::PlainText);
    pictureLayout->addWidget(caption_);

    message_->setAlignment(Qt::AlignCenter);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);

    pages_->insertWidget(kTextPage, text_);
    pages_->insertWidget(kPicturePage, picturePage);
    pages_->insertWidget(kMessagePage, message_);
    showMessage({});
    kind_ = PaneContent::Kind::Empty;
}

void PreviewPane::setContent(const PaneContent& content) {
    kind_ = content.kind;
    picture_ = QImage();
    pictureView_->setPicture(nullptr);
    switch (content.kind) {
        case PaneContent::Kind::Empty:
            showMessage({});
            break;
        case PaneContent::Kind::Text:
        case PaneContent::Kind::FixedText:
            text_->setFont(content.kind == PaneContent::Kind::FixedText
                               ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                               : font());
            text_->setPlainText(qs(content.text));
            pages_->setCurrentIndex(kTextPage);
            break;
        case PaneContent::Kind::Pixels: {
            // The pixels are 0xAARRGGBB words, as Format_ARGB32 holds them.
            const QImage view(reinterpret_cast<const uchar*>(content.pixels.data()), content.width, content.height,
                              static_cast<qsizetype>(content.width) * 4, QImage::Format_ARGB32);
            showPicture(view.copy(), content.sizeFormat);
            break;
        }
        case PaneContent::Kind::EncodedImage: {
            QImage decoded;
            decoded.loadFromData(reinterpret_cast<const uchar*>(content.encoded.data()),
                                 static_cast<int>(std::min<std::size_t>(content.encoded.size(), INT32_MAX)));
            if (decoded.isNull()) {
                kind_ = PaneContent::Kind::Message;
                showMessage(qs(content.failureText));
            } else {
                showPicture(std::move(decoded), content.sizeFormat);
            }
            break;
        }
        case PaneContent::Kind::Message:
            showMessage(qs(content.text));
            break;
    }
}

void PreviewPane::showMessage(const QString& text) {
    text_->clear();
    message_->setText(text);
    pages_->setCurrentIndex(kMessagePage);
}

void PreviewPane::showPicture(QImage picture, const std::string& sizeFormat) {
    text_->clear();
    picture_ = std::move(picture);
    pictureView_->setPicture(&picture_);
    caption_->setText(qs(sizeFormat).arg(picture_.width()).arg(picture_.height()));
    pages_->setCurrentIndex(kPicturePage);
}

QString PreviewPane::shownText() const {
    return pages_->currentIndex() == kTextPage ? text_->toPlainText() : message_->text();
}

QString PreviewPane::caption() const { return pages_->currentIndex() == kPicturePage ? caption_->text() : QString(); }

QSize PreviewPane::pictureShownSize() const { return pictureView_->shownSize(); }

}  // namespace quillomar
