#include "ui/icons.h"

#include <QPainter>
#include <QPixmap>

namespace quillomar {

namespace {

QPixmap drawnIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    painter.setPen(QPen(QColor(60, 40, 20), size / 16.0));
    painter.setBrush(QColor(200, 150, 70));
    painter.drawRoundedRect(box, size * 0.12, size * 0.12);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size / 2);
    painter.setFont(font);
    painter.setPen(QColor(40, 25, 10));
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("Q"));
    return pixmap;
}

}  // namespace

QIcon iconForResource(int iconId) {
    if (iconId != 207) return {};
    QIcon drawn;
    drawn.addPixmap(drawnIcon(16));
    drawn.addPixmap(drawnIcon(32));
    return QIcon::fromTheme(QStringLiteral("quillomar"), drawn);
}

}  // namespace quillomar
