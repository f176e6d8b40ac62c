#include "ui/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgRenderer>
#include <QtMath>

// The window library's resources; a static library's would otherwise be
// left out of the program by the linker.
static void LoadProgramResources() { Q_INIT_RESOURCE(resources); }

namespace sondrel::art {
namespace {

QPixmap Canvas(int w, int h, qreal scale = 2.0) {
    QPixmap pm(static_cast<int>(w * scale), static_cast<int>(h * scale));
    pm.setDevicePixelRatio(scale);
    pm.fill(Qt::transparent);
    return pm;
}

// A small note, the motif of the program.
void Note(QPainter& p, QPointF at, qreal size, const QColor& colour) {
    p.save();
    p.setPen(QPen(colour, size * 0.12, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(colour);
    p.translate(at);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), size * 0.32, size * 0.22);
    p.restore();
    p.save();
    p.setPen(QPen(colour, size * 0.1, Qt::SolidLine, Qt::RoundCap));
    const QPointF stemFoot = at + QPointF(size * 0.28, -size * 0.08);
    const QPointF stemTop = stemFoot + QPointF(0, -size * 0.9);
    p.drawLine(stemFoot, stemTop);
    QPainterPath flag(stemTop);
    flag.cubicTo(stemTop + QPointF(size * 0.35, size * 0.15), stemTop + QPointF(size * 0.45, size * 0.35),
                 stemTop + QPointF(size * 0.25, size * 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flag);
    p.restore();
}

// A file symbol with a label, for the tab icons.
void Sheet(QPainter& p, const QRectF& r, const QColor& band, const QString& label) {
    QPainterPath page;
    const qreal fold = r.width() * 0.3;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 70, 60), 0.8));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(band);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(r.left() + 0.5, r.bottom() - r.height() * 0.42, r.width() - 1, r.height() * 0.4));
    if (!label.isEmpty()) {
        QFont f("Liberation Sans");
        f.setPixelSize(qMax(4, qRound(r.height() * 0.32)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(r.left(), r.bottom() - r.height() * 0.44, r.width(), r.height() * 0.44), Qt::AlignCenter,
                   label);
    }
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.save();
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 2.6 + n * 2.0);
    p.drawLine(to, to - d * 2.6 - n * 2.0);
    p.restore();
}

QIcon FromPixmap(const QPixmap& pm) {
    QIcon icon(pm);
    return icon;
}

}  // namespace

QPixmap ImageButton(const QString& caption, bool pressed) {
    QPixmap pm = Canvas(101, 30);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1.5, 1.5, 98, 27);
    // Shadow, then the body: raised it is light at the top, pressed it is
    // darker and sits one pixel lower.
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(body.translated(1, 1.5), 7, 7);
    }
    const QRectF face = pressed ? body.translated(0.5, 1) : body;
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    if (pressed) {
        g.setColorAt(0, Accent.darker(130));
        g.setColorAt(1, Accent.lighter(120));
    } else {
        g.setColorAt(0, QColor(196, 74, 58));
        g.setColorAt(0.5, QColor(160, 30, 24));
        g.setColorAt(1, Accent);
    }
    p.setBrush(g);
    p.setPen(QPen(QColor(80, 0, 0), 1));
    p.drawRoundedRect(face, 7, 7);
    if (!pressed) {
        QLinearGradient gloss(face.topLeft(), QPointF(face.left(), face.center().y()));
        gloss.setColorAt(0, QColor(255, 255, 255, 110));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(gloss);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(face.adjusted(2, 1.5, -2, -face.height() / 2), 5, 5);
    }
    // The banner colour as a small note on the left ties the buttons to the
    // pages.
    Note(p, face.topLeft() + QPointF(12, 19), 11, Banner);
    QFont f("Liberation Sans");
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(60, 0, 0, 160));
    const QRectF text = face.adjusted(22, 0, -6, 0);
    p.drawText(text.translated(0.8, 0.8), Qt::AlignCenter, caption);
    p.setPen(pressed ? Banner : Qt::white);
    p.drawText(text, Qt::AlignCenter, caption);
    return pm;
}

QPixmap PagePicture() {
    QPixmap pm = Canvas(193, 281);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 281);
    sky.setColorAt(0, Banner.lighter(108));
    sky.setColorAt(0.55, QColor(226, 214, 178));
    sky.setColorAt(1, Column.darker(110));
    p.fillRect(QRectF(0, 0, 193, 281), sky);

    // A record in the lower half, its grooves catching the light.
    const QPointF centre(118, 196);
    QRadialGradient disc(centre, 70);
    disc.setColorAt(0, QColor(40, 30, 30));
    disc.setColorAt(1, QColor(15, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(centre, 70, 70);
    p.setBrush(Qt::NoBrush);
    for (int r = 24; r < 68; r += 4) {
        p.setPen(QPen(QColor(255, 255, 255, r % 8 ? 18 : 30), 0.8));
        p.drawEllipse(centre, r, r);
    }
    p.setPen(QPen(QColor(255, 255, 255, 70), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(centre.x() - 55, centre.y() - 55, 110, 110), 30 * 16, 40 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(centre, 20, 20);
    p.setBrush(Banner);
    p.drawEllipse(centre, 8, 8);
    p.setBrush(QColor(20, 10, 10));
    p.drawEllipse(centre, 2.2, 2.2);

    // A waveform across the middle, turning into notes as it rises.
    QPainterPath wave;
    for (int x = 0; x <= 193; ++x) {
        const qreal t = x / 193.0;
        const qreal y = 112 - 26 * std::sin(t * 9.0) * std::exp(-1.6 * t) * (0.4 + t);
        if (x == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
    p.setPen(QPen(Accent, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
    Note(p, QPointF(124, 66), 26, Accent);
    Note(p, QPointF(156, 44), 20, Accent.lighter(140));
    Note(p, QPointF(44, 150), 18, QColor(70, 110, 70));
    return pm;
}

QIcon PageIcon(int index) {
    QPixmap pm = Canvas(16, 16, 4);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor mp3 = Accent, wav(40, 110, 60), tag(40, 60, 140);
    switch (index) {
    case 0:  // MP3 to WAV
        Sheet(p, QRectF(0.5, 0.5, 8.5, 11), mp3, "");
        Sheet(p, QRectF(7, 4.5, 8.5, 11), wav, "");
        Arrow(p, QPointF(4, 14), QPointF(6, 14), Qt::black);
        break;
    case 1:  // WAV to MP3
        Sheet(p, QRectF(0.5, 0.5, 8.5, 11), wav, "");
        Sheet(p, QRectF(7, 4.5, 8.5, 11), mp3, "");
        Arrow(p, QPointF(4, 14), QPointF(6, 14), Qt::black);
        break;
    case 2:  // WAV to WAV
        Sheet(p, QRectF(0.5, 0.5, 8.5, 11), wav, "");
        Sheet(p, QRectF(7, 4.5, 8.5, 11), wav.lighter(150), "");
        Arrow(p, QPointF(4, 14), QPointF(6, 14), Qt::black);
        break;
    default: {  // tag editor: a label tied to a note
        Note(p, QPointF(4.5, 12), 10, mp3);
        QPainterPath label;
        label.moveTo(8, 3);
        label.lineTo(15.5, 3);
        label.lineTo(15.5, 10);
        label.lineTo(8, 10);
        label.lineTo(6, 6.5);
        label.closeSubpath();
        p.setPen(QPen(tag.darker(130), 0.8));
        p.setBrush(tag);
        p.drawPath(label);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8.6, 6.5), 0.9, 0.9);
        break;
    }
    }
    return FromPixmap(pm);
}

QIcon SheetIcon(int index) {
    QPixmap pm = Canvas(16, 16, 4);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 0) {
        Sheet(p, QRectF(3, 1, 10, 14), Accent, "");
    } else {
        Sheet(p, QRectF(0.5, 0.5, 9, 12), QColor(150, 110, 90), "");
        Sheet(p, QRectF(3.5, 2, 9, 12), QColor(170, 80, 60), "");
        Sheet(p, QRectF(6.5, 3.5, 9, 12), Accent, "");
    }
    return FromPixmap(pm);
}

QIcon CancelIcon() {
    QPixmap pm = Canvas(16, 16, 4);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Accent.darker(120), 0.8));
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, QColor(230, 90, 70));
    g.setColorAt(1, QColor(170, 20, 15));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
    p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
    return FromPixmap(pm);
}

QIcon WebIcon() {
    QPixmap pm = Canvas(24, 24, 4);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF globe(2, 2, 20, 20);
    QRadialGradient g(QPointF(9, 8), 14);
    g.setColorAt(0, Column.lighter(115));
    g.setColorAt(1, QColor(70, 130, 90));
    p.setPen(QPen(QColor(40, 80, 50), 1));
    p.setBrush(g);
    p.drawEllipse(globe);
    p.setPen(QPen(QColor(40, 80, 50, 180), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(7, 2, 10, 20));
    p.drawLine(QPointF(12, 2), QPointF(12, 22));
    p.drawLine(QPointF(2, 12), QPointF(22, 12));
    p.drawArc(QRectF(3, 5, 18, 6), 0, 180 * 16);
    p.drawArc(QRectF(3, 13, 18, 6), 180 * 16, 180 * 16);
    Note(p, QPointF(17, 19.5), 8, Accent);
    return FromPixmap(pm);
}

QFont UiFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    return font;
}

QIcon ProgramIcon() {
    // The same picture as the desktop's icon, from the one SVG of it.
    LoadProgramResources();
    QSvgRenderer svg(QStringLiteral(":/sondrel.svg"));
    QIcon icon;
    for (int size : {16, 32, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
        icon.addPixmap(pm);
    }
    return icon;
}

void Fill(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
}

void PaintPanel(QFrame* panel, const QColor& colour) {
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Fill(panel, colour);
}

void StyleBanner(QLabel* banner) {
    PaintPanel(banner, Banner);
    QFont bold = banner->font();
    bold.setBold(true);
    banner->setFont(bold);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    banner->setIndent(14);
}

}  // namespace sondrel::art
