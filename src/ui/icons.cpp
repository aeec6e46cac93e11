#include "ui/icons.h"

#include <QPainter>
#include <QPixmap>

#include <string>

#include "app/embeddedfiles.h"
#include "platform/resourceids.h"

namespace quillomar {

namespace {

// A plain stand-in, should the program's own drawing be missing.
QPixmap drawnIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    painter.setPen(QPen(QColor(60, 40, 20), size / 16.0));
    painter.setBrush(QColor(200, 150, 70));
    painter.drawRoundedRect(box, size * 0.12, size * 0.12);
    return pixmap;
}

}  // namespace

QIcon iconForResource(int iconId) {
    if (iconId != kProgramIcon) return {};
    QIcon icon;
    for (int size : kIconSizes) {
        const std::string_view png = embeddedFile("quillomar-" + std::to_string(size) + ".png");
        QPixmap pixmap;
        if (!png.empty() &&
            pixmap.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<uint>(png.size()), "PNG")) {
            icon.addPixmap(pixmap);
        }
    }
    if (icon.isNull()) {
        icon.addPixmap(drawnIcon(16));
        icon.addPixmap(drawnIcon(32));
    }
    return icon;
}

}  // namespace quillomar
