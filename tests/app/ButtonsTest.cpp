// The bitmap button's rules and the about box.
#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QtTest>

#include "app/AboutBox.h"
#include "ui/ButtonsXP.h"

using namespace sondrel;

namespace {

QPixmap Strip(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(Qt::red);
    return pm;
}

struct Placed {
    QPoint glyph, text;
};

Placed Layout(TButtonLayout layout, int margin, int spacing, QSize glyph = {16, 16}, QSize text = {60, 13}) {
    Placed p;
    TBitBtnXP::CalcLayout(QSize(97, 25), glyph, text, layout, margin, spacing, p.glyph, p.text);
    return p;
}

}  // namespace

class ButtonsTest : public QObject {
    Q_OBJECT
private slots:
    void layoutArithmetic() {
        // Margin -1, Spacing 4, 97 wide, glyph 16, caption 60: (97 - 80 + 1) / 2.
        Placed p = Layout(blGlyphLeft, -1, 4);
        QCOMPARE(p.glyph, QPoint(9, 5));
        QCOMPARE(p.text.x(), 29);
        QCOMPARE(p.text.y(), 6);
        p = Layout(blGlyphLeft, -1, -1);  // free space in three equal parts
        QCOMPARE(p.glyph.x(), 7);
        QCOMPARE(p.text.x(), 30);
        p = Layout(blGlyphLeft, 5, -1);  // the rest halved for the spacing
        QCOMPARE(p.glyph.x(), 5);
        QCOMPARE(p.text.x(), 5 + 16 + 8);
        p = Layout(blGlyphLeft, 5, 4);
        QCOMPARE(p.text.x(), 25);
        p = Layout(blGlyphRight, -1, 4);
        QCOMPARE(p.glyph.x(), 97 - 9 - 16);
        QCOMPARE(p.text.x(), 72 - 4 - 60);
        p = Layout(blGlyphTop, -1, 2, {16, 16}, {60, 13});
        QCOMPARE(p.glyph.x(), (97 - 16 + 1) / 2);
        QCOMPARE(p.glyph.y(), (25 - (16 + 2 + 13) + 1) / 2);
        // A caption without a glyph is centred: Spacing counts as 0.
        p = Layout(blGlyphLeft, -1, 4, {0, 0});
        QCOMPARE(p.text.x(), (97 - 60 + 1) / 2);
        // Too little room gives a negative margin, truncated towards zero.
        p = Layout(blGlyphLeft, -1, 4, {16, 16}, {100, 13});
        QCOMPARE(p.glyph.x(), (97 - 120 + 1) / 2);
    }

    void numGlyphsFollowTheGlyphsShape() {
        TBitBtnXP b;
        QCOMPARE(b.NumGlyphs(), 1);
        b.SetGlyph(Strip(32, 16));
        QCOMPARE(b.NumGlyphs(), 2);
        b.SetGlyph(Strip(80, 16));  // a quotient of 5 is too many
        QCOMPARE(b.NumGlyphs(), 1);
        b.SetNumGlyphs(3);
        b.SetGlyph(Strip(30, 16));  // not a multiple: unchanged
        QCOMPARE(b.NumGlyphs(), 3);
        b.SetNumGlyphs(9);
        QCOMPARE(b.NumGlyphs(), 4);
    }

    void kindsAndReadingThemBack() {
        TBitBtnXP b;
        QCOMPARE(b.Kind(), bkCustom);
        QCOMPARE(b.Margin(), -1);
        QCOMPARE(b.Spacing(), 4);
        b.SetKind(bkOK);
        QCOMPARE(b.text(), QString("OK"));
        QVERIFY(b.isDefault());
        QCOMPARE(b.ModalResult(), 1);
        QCOMPARE(b.NumGlyphs(), 2);
        QCOMPARE(b.Kind(), bkOK);
        b.SetModalResult(0);
        QCOMPARE(b.Kind(), bkCustom);

        TBitBtnXP c;
        c.SetKind(bkCancel);
        QCOMPARE(c.text(), QString("Cancel"));
        QVERIFY(c.Cancel());
        QCOMPARE(c.ModalResult(), 2);
        c.SetGlyph(Strip(32, 16));  // a glyph of one's own ends the kind
        QCOMPARE(c.Kind(), bkCustom);

        TBitBtnXP d;
        d.SetKind(bkAll);
        QCOMPARE(d.text(), QString("&All"));
        QCOMPARE(d.ModalResult(), 8);
        d.setDefault(true);
        QCOMPARE(d.Kind(), bkCustom);
        // The kinds share their glyph strips.
        TBitBtnXP e, f;
        e.SetKind(bkRetry);
        f.SetKind(bkRetry);
        QCOMPARE(e.Glyph().cacheKey(), f.Glyph().cacheKey());
        QCOMPARE(e.Glyph().size(), QSize(32, 16));

        d.SetMargin(3);
        d.SetMargin(-2);
        QCOMPARE(d.Margin(), 3);
    }

    void stateImagesAreSharedAndDisabledLooksDerived() {
        const int before = TBitBtnXP::LiveImageLists();
        {
            TBitBtnXP a, b;
            // A strip of a normal and a classic disabled image: white, grey,
            // and the transparent colour of its bottom-left pixel.
            QImage strip(32, 16, QImage::Format_RGB32);
            strip.fill(QColor(255, 0, 255));
            for (int x = 16; x < 24; ++x) strip.setPixel(x, 2, qRgb(255, 255, 255));
            for (int x = 16; x < 24; ++x) strip.setPixel(x, 4, qRgb(128, 128, 128));
            a.SetGlyph(QPixmap::fromImage(strip));
            b.SetGlyph(Strip(32, 16));
            a.StateImage(bsUp);
            b.StateImage(bsUp);
            QVERIFY(a.ImageList() != nullptr);
            QCOMPARE(a.ImageList(), b.ImageList());
            QCOMPARE(TBitBtnXP::LiveImageLists(), before + 1);
            const QImage disabled = a.StateImage(bsDisabled).toImage();
            const QPalette pal = a.palette();
            QCOMPARE(QColor(disabled.pixel(0, 2)).rgb(), pal.color(QPalette::Light).rgb());
            QCOMPARE(QColor(disabled.pixel(0, 4)).rgb(), pal.color(QPalette::Dark).rgb());
            QCOMPARE(QColor(disabled.pixel(0, 10)).rgb(), pal.color(QPalette::Button).rgb());
            // The up image leaves the transparent colour out.
            QCOMPARE(qAlpha(a.StateImage(bsUp).toImage().pixel(0, 10)), 0);

            // One image: an embossed silhouette in highlight and shadow.
            TBitBtnXP one;
            QImage single(16, 16, QImage::Format_ARGB32);
            single.fill(Qt::transparent);
            QPainter p(&single);
            p.fillRect(4, 4, 8, 8, Qt::black);
            p.end();
            one.SetGlyph(QPixmap::fromImage(single));
            QCOMPARE(one.NumGlyphs(), 1);
            const QImage emboss = one.StateImage(bsDisabled).toImage();
            QCOMPARE(QColor(emboss.pixel(6, 6)).rgb(), pal.color(QPalette::Dark).rgb());
            QCOMPARE(QColor(emboss.pixel(12, 12)).rgb(), pal.color(QPalette::Light).rgb());
            QCOMPARE(QColor(emboss.pixel(1, 1)).rgb(), pal.color(QPalette::Button).rgb());
        }
        QCOMPARE(TBitBtnXP::LiveImageLists(), before);  // released with the last button
    }

    void closeAndHelpKinds() {
        QDialog dialog;
        auto* close = new TBitBtnXP(&dialog);
        close->SetKind(bkClose);
        QCOMPARE(close->text(), QString("&Close"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        close->click();
        QVERIFY(!dialog.isVisible());

        QWidget outer;
        outer.setProperty("helpContext", 42);
        auto* inner = new QWidget(&outer);
        auto* help = new TBitBtnXP(inner);
        help->SetKind(bkHelp);
        int asked = 0;
        TBitBtnXP::HelpHandler = [&](int context) { asked = context; };
        help->click();
        QCOMPARE(asked, 42);
        TBitBtnXP::HelpHandler = nullptr;

        QDialog modal;
        auto* yes = new TBitBtnXP(&modal);
        yes->SetKind(bkYes);
        QTimer::singleShot(0, yes, [yes] { yes->click(); });
        QCOMPARE(modal.exec(), 6);
    }

    void aboutBoxYearAndEnter() {
        TAboutBox box(nullptr, QDate(2031, 1, 1));
        QVERIFY(box.Copyright->text().contains("2031"));
        QVERIFY(!box.Copyright->text().contains("XXXX"));
        QCOMPARE(box.windowTitle(), QString("Info"));
        QCOMPARE(box.OKBtn->Kind(), bkOK);
        QVERIFY(box.OKBtn->isDefault());
        TAboutBox today;
        QVERIFY(today.Copyright->text().contains(QString::number(QDate::currentDate().year())));

        QTimer::singleShot(50, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        QCOMPARE(box.exec(), 1);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(ButtonsTest)
#include "ButtonsTest.moc"
