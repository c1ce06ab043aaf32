#include "IconArt.h"

#include <QLinearGradient>

#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <map>

namespace kelvane::ui {

namespace {

// The shield of the sidebar's "Shield" icon and of the application icon, on a 24-point grid.
QPainterPath shieldOutline() {
    QPainterPath path;
    path.moveTo(12, 2.5);
    path.lineTo(20, 5.5);
    path.cubicTo(20, 13, 17, 18.5, 12, 21.5);
    path.cubicTo(7, 18.5, 4, 13, 4, 5.5);
    path.closeSubpath();
    return path;
}

QPolygonF shieldTick() {
    return QPolygonF({{8.5, 12}, {11, 14.5}, {15.5, 9.5}});
}

// Every glyph is drawn on a 24 × 24 grid with 2-unit strokes, like a line-icon set.
using Glyph = std::function<void(QPainter&)>;

QPen stroke() {
    QPen pen(Qt::black, 2.0);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

const std::map<QString, Glyph>& glyphs() {
    static const std::map<QString, Glyph> table{
        {"Home",
         [](QPainter& p) {
             p.drawPolyline(QPolygonF({{3, 11}, {12, 3.5}, {21, 11}}));
             p.drawPolyline(QPolygonF({{5.5, 9.5}, {5.5, 20}, {18.5, 20}, {18.5, 9.5}}));
             p.drawRect(QRectF(10, 14, 4, 6));
         }},
        {"Trash",
         [](QPainter& p) {
             p.drawLine(QPointF(4, 6.5), QPointF(20, 6.5));
             p.drawPolyline(QPolygonF({{9, 6.5}, {9.5, 3.5}, {14.5, 3.5}, {15, 6.5}}));
             p.drawPolyline(QPolygonF({{6, 6.5}, {7, 20.5}, {17, 20.5}, {18, 6.5}}));
             p.drawLine(QPointF(10, 10), QPointF(10, 17));
             p.drawLine(QPointF(14, 10), QPointF(14, 17));
         }},
        {"Folder",
         [](QPainter& p) {
             QPainterPath path;
             path.moveTo(3, 6);
             path.lineTo(9, 6);
             path.lineTo(11, 8.5);
             path.lineTo(21, 8.5);
             path.lineTo(21, 19);
             path.lineTo(3, 19);
             path.closeSubpath();
             p.drawPath(path);
         }},
        {"Disk",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
             p.drawArc(QRectF(6, 6, 12, 12), 30 * 16, 60 * 16);
         }},
        {"Copy",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(8, 8, 12, 13), 2, 2);
             p.drawPolyline(QPolygonF({{16, 5}, {16, 3.5}, {4, 3.5}, {4, 16.5}, {6, 16.5}}));
         }},
        {"Power",
         [](QPainter& p) {
             p.drawArc(QRectF(4, 4.5, 16, 16), 120 * 16, 300 * 16);  // open at the top
             p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
         }},
        {"Uninstall",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(4, 4, 16, 16), 4, 4);
             p.drawLine(QPointF(9, 9), QPointF(15, 15));
             p.drawLine(QPointF(15, 9), QPointF(9, 15));
         }},
        {"Restore",
         [](QPainter& p) {
             p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, 270 * 16);
             p.drawPolyline(QPolygonF({{12, 1.5}, {12, 4}, {14.5, 5.5}}));
             p.drawPolyline(QPolygonF({{12, 8}, {12, 12}, {15, 14}}));
         }},
        {"Settings",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 3, 3);
             for (int i = 0; i < 8; ++i) {
                 p.save();
                 p.translate(12, 12);
                 p.rotate(i * 45.0);
                 p.drawLine(QPointF(0, -6.5), QPointF(0, -9.5));
                 p.restore();
             }
             p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
         }},
        {"Search",
         [](QPainter& p) {
             p.drawEllipse(QPointF(10.5, 10.5), 6.5, 6.5);
             p.drawLine(QPointF(15.5, 15.5), QPointF(20.5, 20.5));
         }},
        {"Info",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawLine(QPointF(12, 11), QPointF(12, 16.5));
             p.drawPoint(QPointF(12, 7.5));
         }},
        {"Warning",
         [](QPainter& p) {
             p.drawPolygon(QPolygonF({{12, 3}, {21.5, 20}, {2.5, 20}}));
             p.drawLine(QPointF(12, 9), QPointF(12, 14));
             p.drawPoint(QPointF(12, 17));
         }},
        {"Check",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawPolyline(QPolygonF({{7.5, 12.5}, {10.5, 15.5}, {16.5, 9}}));
         }},
        {"Shield",
         [](QPainter& p) {
             p.drawPath(shieldOutline());
             p.drawPolyline(shieldTick());
         }},
        {"Refresh",
         [](QPainter& p) {
             p.drawArc(QRectF(4, 4, 16, 16), 45 * 16, 280 * 16);
             p.drawPolyline(QPolygonF({{19.5, 3.5}, {19.5, 8}, {15, 8}}));
         }},
        {"Add",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawLine(QPointF(12, 7.5), QPointF(12, 16.5));
             p.drawLine(QPointF(7.5, 12), QPointF(16.5, 12));
         }},
        {"Browser",
         [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawEllipse(QRectF(8, 3, 8, 18));
             p.drawLine(QPointF(3, 12), QPointF(21, 12));
         }},
        {"Download",
         [](QPainter& p) {
             p.drawLine(QPointF(12, 3.5), QPointF(12, 15));
             p.drawPolyline(QPolygonF({{7, 10.5}, {12, 15.5}, {17, 10.5}}));
             p.drawPolyline(QPolygonF({{4, 16}, {4, 20}, {20, 20}, {20, 16}}));
         }},
        {"Developer",
         [](QPainter& p) {
             p.drawPolyline(QPolygonF({{8, 7}, {3, 12}, {8, 17}}));
             p.drawPolyline(QPolygonF({{16, 7}, {21, 12}, {16, 17}}));
             p.drawLine(QPointF(13.5, 5), QPointF(10.5, 19));
         }},
        {"Other",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 4, 4);
             for (const double x : {8.0, 12.0, 16.0}) {
                 p.drawPoint(QPointF(x, 12));
             }
         }},
    };
    return table;
}

}  // namespace

QStringList iconNames() {
    QStringList names;
    for (const auto& [name, glyph] : glyphs()) {
        names.append(name);
    }
    return names;
}

QImage drawIcon(const QString& name, int pixels) {
    const auto found = glyphs().find(name);
    if (found == glyphs().end()) {
        return {};
    }
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / 24.0, pixels / 24.0);
    painter.setPen(stroke());
    painter.setBrush(Qt::NoBrush);
    found->second(painter);
    return image;
}

QImage drawAppIcon(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / 128.0, pixels / 128.0);
    QLinearGradient green(0, 8, 0, 120);
    green.setColorAt(0, QColor(0x34, 0xA8, 0x62));
    green.setColorAt(1, QColor(0x1B, 0x6E, 0x3F));
    painter.setPen(Qt::NoPen);
    painter.setBrush(green);
    painter.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    // The sidebar's shield, 4× on a 24-point grid, moved to the middle.
    painter.translate(16, 14);
    painter.scale(4, 4);
    const auto shield = shieldOutline();
    QPen white(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(white);
    painter.setBrush(QColor(255, 255, 255, 51));
    painter.drawPath(shield);
    painter.setBrush(Qt::NoBrush);
    white.setWidthF(2.2);
    painter.setPen(white);
    painter.drawPolyline(shieldTick());
    return image;
}

}  // namespace kelvane::ui
