#include "app/AboutBox.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QUrl>

#include "app/Maker.h"
#include "ui/Artwork.h"
#include "ui/Placement.h"

namespace sondrel {

const char* const TAboutBox::CopyrightText = "Copyright © 1998-XXXX Velkor Computersoftware. Alle Rechte vorbehalten.";

TAboutBox::TAboutBox(QWidget* parent, QDate today) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("Info"));
    MakeFixedDialog(this, 664, 453);
    setFont(art::UiFont());

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setGeometry(8, 8, 649, 385);
    art::PaintPanel(panel, art::Banner);

    auto* picture = new QLabel(panel);
    picture->setObjectName("Image1");
    picture->setGeometry(16, 40, 306, 322);
    picture->setScaledContents(true);
    picture->setPixmap(AboutPicture());
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);

    auto* headline = new QLabel(QStringLiteral("Garantiert ein Original Velkor Programm"), panel);
    headline->setObjectName("Headline");
    QFont narrow;
    narrow.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                        QStringLiteral("Liberation Sans")});
    narrow.setPixelSize(24);
    narrow.setBold(true);
    headline->setFont(narrow);
    headline->move(8, 8);
    headline->adjustSize();

    auto* comment = new QLabel(QStringLiteral("Dies ist eine Velkor Computersoftware Produktion. (%1)")
                                   .arg(QString::fromUtf8(maker::Mail)),
                               panel);
    comment->setGeometry(336, 56, 257, 33);
    comment->setWordWrap(true);

    auto* line1 = new QLabel(QStringLiteral("Vertrauen Sie auf deutsche Qualität bei Software."), panel);
    QFont bold = font();
    bold.setBold(true);
    line1->setFont(bold);
    line1->move(336, 96);
    line1->adjustSize();

    auto* line2 = new QLabel(QStringLiteral("Seit 1998 Programme rund um Musik und Klang."), panel);
    line2->move(336, 112);
    line2->adjustSize();

    auto* block = new QLabel(
        QStringLiteral("Sondrel ist eines von mehreren Programmen aus unserem Haus. Weitere Werkzeuge für Ihre "
                       "Musiksammlung, neue Versionen und Antworten auf häufige Fragen finden Sie auf unserer "
                       "Homepage unter %1.")
            .arg(QString::fromUtf8(maker::WebAddress)),
        panel);
    block->setGeometry(336, 128, 238, 105);
    block->setWordWrap(true);
    block->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Copyright = new QLabel(panel);
    Copyright->setObjectName("Copyright");
    // The year is the one of the day the box is made.
    Copyright->setText(QString::fromUtf8(CopyrightText).replace(QStringLiteral("XXXX"), QString::number(today.year())));
    Copyright->setGeometry(336, 340, 300, 30);
    Copyright->setWordWrap(true);

    WebBtn = new TBitBtnXP(panel);
    WebBtn->setObjectName("WebBtn");
    WebBtn->setGeometry(336, 240, 169, 25);
    WebBtn->SetGlyph(glyphs::Web());
    WebBtn->setText(QString::fromUtf8(maker::WebAddress));
    connect(WebBtn, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(maker::WebPage))); });

    OKBtn = new TBitBtnXP(this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setGeometry(241, 404, 181, 37);
    OKBtn->SetKind(bkOK);
    OKBtn->setFocus();
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
}

QPixmap AboutPicture() {
    // A turntable under a warm studio light: the page picture's record,
    // seen as if photographed.
    const qreal scale = 2.0;
    QPixmap pm(static_cast<int>(306 * scale), static_cast<int>(322 * scale));
    pm.setDevicePixelRatio(scale);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wall(0, 0, 0, 322);
    wall.setColorAt(0, QColor(60, 28, 22));
    wall.setColorAt(0.6, QColor(120, 60, 40));
    wall.setColorAt(1, QColor(40, 22, 18));
    p.fillRect(QRectF(0, 0, 306, 322), wall);
    // Out-of-focus lights.
    const QPointF bokeh[] = {{40, 40}, {90, 70}, {250, 30}, {200, 90}, {280, 120}, {20, 130}, {150, 30}};
    int k = 0;
    for (const QPointF& c : bokeh) {
        QRadialGradient g(c, 18 + 6 * (k % 3));
        g.setColorAt(0, QColor(255, 214, 150, 120));
        g.setColorAt(1, QColor(255, 214, 150, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(c, 18.0 + 6 * (k % 3), 18.0 + 6 * (k % 3));
        ++k;
    }
    // The turntable's wooden plinth in perspective.
    QPainterPath plinth;
    plinth.moveTo(10, 220);
    plinth.lineTo(296, 220);
    plinth.lineTo(306, 300);
    plinth.lineTo(0, 300);
    plinth.closeSubpath();
    QLinearGradient wood(0, 220, 0, 300);
    wood.setColorAt(0, QColor(150, 95, 55));
    wood.setColorAt(1, QColor(90, 52, 30));
    p.setBrush(wood);
    p.drawPath(plinth);
    p.setBrush(QColor(50, 30, 18));
    p.drawRect(QRectF(0, 300, 306, 22));
    // The record, an ellipse seen from above and in front.
    const QPointF centre(140, 246);
    QRadialGradient disc(centre, 110);
    disc.setColorAt(0, QColor(45, 35, 35));
    disc.setColorAt(1, QColor(10, 8, 8));
    p.setBrush(disc);
    p.drawEllipse(centre, 115, 34);
    p.setBrush(Qt::NoBrush);
    for (int r = 30; r < 112; r += 6) {
        p.setPen(QPen(QColor(255, 230, 200, 22), 0.8));
        p.drawEllipse(centre, r, r * 34.0 / 115);
    }
    p.setPen(QPen(QColor(255, 235, 200, 110), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(centre.x() - 95, centre.y() - 28, 190, 56), 20 * 16, 50 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(art::Accent);
    p.drawEllipse(centre, 26, 8);
    p.setBrush(art::Banner);
    p.drawEllipse(centre, 7, 2.2);
    // The tone arm.
    p.setPen(QPen(QColor(200, 200, 205), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(272, 206), QPointF(200, 250));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 170, 175));
    p.drawEllipse(QPointF(274, 204), 10, 6);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(192, 246, 12, 7));
    // Light from above.
    QRadialGradient light(QPointF(150, -40), 320);
    light.setColorAt(0, QColor(255, 240, 210, 70));
    light.setColorAt(1, QColor(255, 240, 210, 0));
    p.fillRect(QRectF(0, 0, 306, 322), light);
    // A note floating up from the record, in the program's colours.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(90);
    p.setFont(f);
    p.setPen(QColor(240, 202, 166, 200));
    p.drawText(QRectF(150, 60, 120, 120), Qt::AlignCenter, QString(QChar(0x266B)));
    return pm;
}

}  // namespace sondrel
