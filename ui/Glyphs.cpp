// The glyph strips of the buttons: each a normal and a disabled image of
// 16 x 16 side by side. The disabled image is the classic one, a grey
// silhouette over a white shadow, so that the button can map its grey and
// white to the palette's shadow and highlight.
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <functional>

#include "ui/Artwork.h"
#include "ui/ButtonsXP.h"

namespace sondrel::glyphs {
namespace {

using Drawing = std::function<void(QPainter&)>;

QImage Draw(const Drawing& draw) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return img;
}

QImage Silhouette(const QImage& src, QRgb colour) {
    QImage out(src.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            if (qAlpha(src.pixel(x, y)) >= 110 && qGray(src.pixel(x, y)) < 215) out.setPixel(x, y, colour);
    return out;
}

QPixmap Strip(const Drawing& draw) {
    const QImage normal = Draw(draw);
    QImage strip(32, 16, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.drawImage(0, 0, normal);
    p.drawImage(17, 1, Silhouette(normal, 0xFFFFFFFF));
    p.drawImage(16, 0, Silhouette(normal, 0xFF808080));
    p.end();
    return QPixmap::fromImage(strip);
}

QPen Pen(const QColor& c, qreal w = 2.0) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Check(QPainter& p, const QColor& c, qreal dx = 0) {
    p.setPen(Pen(c, 2.4));
    QPainterPath path;
    path.moveTo(2.5 + dx, 8.5);
    path.lineTo(6 + dx, 12);
    path.lineTo(13.5 + dx, 3.5);
    p.drawPath(path);
}

void Cross(QPainter& p, const QColor& c, qreal inset = 3.5) {
    p.setPen(Pen(c, 2.4));
    p.drawLine(QPointF(inset, inset), QPointF(16 - inset, 16 - inset));
    p.drawLine(QPointF(16 - inset, inset), QPointF(inset, 16 - inset));
}

void Page(QPainter& p) {
    p.setPen(QPen(QColor(90, 70, 60), 1));
    p.setBrush(Qt::white);
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(QColor(180, 150, 130), 1));
    for (int y = 6; y <= 12; y += 2) p.drawLine(QPointF(4.5, y), QPointF(10.5, y));
}

const QColor kGreen(30, 130, 50);
const QColor kRed(190, 30, 25);
const QColor kBlue(30, 70, 160);

}  // namespace

QPixmap Add() {
    return Strip([](QPainter& p) {
        Page(p);
        p.setPen(Pen(kGreen, 2.6));
        p.drawLine(QPointF(11.5, 8), QPointF(11.5, 15));
        p.drawLine(QPointF(8, 11.5), QPointF(15, 11.5));
    });
}

QPixmap Remove() {
    return Strip([](QPainter& p) {
        Page(p);
        p.setPen(Pen(kRed, 2.6));
        p.drawLine(QPointF(8, 11.5), QPointF(15, 11.5));
    });
}

QPixmap RemoveAll() {
    return Strip([](QPainter& p) {
        // A waste bin.
        p.setPen(QPen(QColor(70, 70, 80), 1));
        p.setBrush(QColor(150, 160, 175));
        QPainterPath bin;
        bin.moveTo(3.5, 4.5);
        bin.lineTo(12.5, 4.5);
        bin.lineTo(11.5, 14.5);
        bin.lineTo(4.5, 14.5);
        bin.closeSubpath();
        p.drawPath(bin);
        p.drawRect(QRectF(2.5, 2.5, 11, 2));
        p.drawLine(QPointF(6.5, 6.5), QPointF(6.5, 12.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
        p.setPen(Pen(kRed, 1.6));
        p.drawLine(QPointF(6.5, 1), QPointF(9.5, 1));
    });
}

QPixmap Open() {
    return Strip([](QPainter& p) {
        p.setPen(QPen(QColor(140, 95, 20), 1));
        p.setBrush(QColor(235, 190, 90));
        p.drawRect(QRectF(1.5, 4.5, 11, 9));
        p.drawRect(QRectF(1.5, 3, 5, 2));
        p.setBrush(QColor(250, 215, 120));
        QPainterPath lid;
        lid.moveTo(3.5, 7.5);
        lid.lineTo(15, 7.5);
        lid.lineTo(12.5, 13.5);
        lid.lineTo(1.5, 13.5);
        lid.closeSubpath();
        p.drawPath(lid);
    });
}

QPixmap Save() {
    return Strip([](QPainter& p) {
        p.setPen(QPen(QColor(20, 40, 90), 1));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 2, 8, 5));
        p.setBrush(QColor(170, 180, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        p.setBrush(kBlue);
        p.drawRect(QRectF(9, 3, 2, 3));
    });
}

QPixmap Web() {
    return Strip([](QPainter& p) {
        p.setPen(QPen(QColor(40, 80, 50), 1));
        p.setBrush(art::Column.darker(115));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
    });
}

const QPixmap& ForKind(TBitBtnKind kind) {
    // Each kind's strip is made on first use and shared until the end.
    static std::array<QPixmap, 11> strips;
    QPixmap& strip = strips[static_cast<std::size_t>(kind)];
    if (!strip.isNull() || kind == bkCustom) return strip;
    switch (kind) {
    case bkOK: strip = Strip([](QPainter& p) { Check(p, kGreen); }); break;
    case bkYes: strip = Strip([](QPainter& p) { Check(p, kGreen.lighter(115)); }); break;
    case bkAll:
        strip = Strip([](QPainter& p) {
            Check(p, kGreen, -1.5);
            p.save();
            p.scale(0.7, 0.7);
            p.translate(8, 0);
            Check(p, kGreen.darker(120), 3);
            p.restore();
        });
        break;
    case bkCancel: strip = Strip([](QPainter& p) { Cross(p, kRed); }); break;
    case bkAbort:
        strip = Strip([](QPainter& p) {
            p.setPen(Pen(kRed, 1.6));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            Cross(p, kRed, 5);
        });
        break;
    case bkNo:
        strip = Strip([](QPainter& p) {
            p.setPen(Pen(kRed, 2.2));
            p.drawEllipse(QRectF(2, 2, 12, 12));
            p.drawLine(QPointF(4, 12), QPointF(12, 4));
        });
        break;
    case bkHelp:
        strip = Strip([](QPainter& p) {
            QFont f("Liberation Serif");
            f.setPixelSize(15);
            f.setBold(true);
            p.setFont(f);
            p.setPen(kBlue);
            p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "?");
        });
        break;
    case bkClose:
        strip = Strip([](QPainter& p) {
            p.setPen(QPen(QColor(90, 60, 30), 1));
            p.setBrush(QColor(170, 110, 60));
            p.drawRect(QRectF(3.5, 1.5, 8, 13));
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(9.5, 8.5), 0.9, 0.9);
            p.setPen(Pen(kGreen, 1.8));
            p.drawLine(QPointF(12, 8), QPointF(15, 8));
        });
        break;
    case bkRetry:
        strip = Strip([](QPainter& p) {
            p.setPen(Pen(kBlue, 2.0));
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
            p.setBrush(kBlue);
            p.setPen(Qt::NoPen);
            QPolygonF head({QPointF(10, 0.5), QPointF(14.5, 3.5), QPointF(9.5, 6)});
            p.drawPolygon(head);
        });
        break;
    case bkIgnore:
        strip = Strip([](QPainter& p) {
            p.setPen(Pen(QColor(120, 90, 20), 2.0));
            p.drawLine(QPointF(2, 8), QPointF(12, 8));
            p.drawLine(QPointF(9, 4.5), QPointF(13, 8));
            p.drawLine(QPointF(9, 11.5), QPointF(13, 8));
            p.drawLine(QPointF(14.5, 3), QPointF(14.5, 13));
        });
        break;
    default: break;
    }
    return strip;
}

}  // namespace sondrel::glyphs
