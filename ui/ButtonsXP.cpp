#include "ui/ButtonsXP.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>
#include <map>
#include <qdrawutil.h>

namespace sondrel {

// State images of all buttons whose images have one size.
class TGlyphList {
public:
    std::vector<QPixmap> Images;
};

namespace {

struct KindRow {
    const char* caption;
    bool isDefault;
    bool cancel;
    int result;
};

constexpr KindRow kKinds[] = {
    {"", false, false, 0},      {"OK", true, false, 1},       {"Cancel", false, true, 2}, {"&Help", false, false, 0},
    {"&Yes", true, false, 6},   {"&No", false, true, 7},      {"&Close", false, false, 0}, {"Abort", false, false, 3},
    {"&Retry", false, false, 4}, {"&Ignore", false, false, 5}, {"&All", false, false, 8}};

std::map<std::pair<int, int>, std::weak_ptr<TGlyphList>>& Lists() {
    static std::map<std::pair<int, int>, std::weak_ptr<TGlyphList>> lists;
    return lists;
}

std::shared_ptr<TGlyphList> ListFor(QSize size) {
    auto& slot = Lists()[{size.width(), size.height()}];
    std::shared_ptr<TGlyphList> list = slot.lock();
    if (!list) {
        list = std::make_shared<TGlyphList>();
        slot = list;
    }
    return list;
}

bool IsWhite(QRgb c) { return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255; }
bool IsGrey(QRgb c) { return qRed(c) == 128 && qGreen(c) == 128 && qBlue(c) == 128; }

}  // namespace

bool TBitBtnXP::UseVisualStyles = true;
std::function<void(int)> TBitBtnXP::HelpHandler;

TBitBtnXP::TBitBtnXP(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &TBitBtnXP::Clicked);
    connect(qApp, &QApplication::focusChanged, this, &TBitBtnXP::UpdateActive);
}

TBitBtnXP::~TBitBtnXP() {
    // Losing the focus while being destroyed must not reach UpdateActive
    // of a button that is no longer one.
    disconnect(qApp, nullptr, this, nullptr);
}

TBitBtnKind TBitBtnXP::Kind() {
    if (kind_ == bkCustom) return bkCustom;
    const KindRow& row = kKinds[kind_];
    if (isDefault() != row.isDefault || cancel_ != row.cancel || modalResult_ != row.result || glyphReplaced_)
        kind_ = bkCustom;
    return kind_;
}

void TBitBtnXP::SetKind(TBitBtnKind kind) {
    if (kind == kind_) return;
    if (kind != bkCustom) {
        const KindRow& row = kKinds[kind];
        setDefault(row.isDefault);
        SetCancel(row.cancel);
        setText(QString::fromLatin1(row.caption));
        modalResult_ = row.result;
        SetGlyph(glyphs::ForKind(kind));
        SetNumGlyphs(2);
        glyphReplaced_ = false;
    }
    kind_ = kind;
    update();
}

void TBitBtnXP::SetGlyph(const QPixmap& glyph) {
    glyph_ = glyph;
    // A strip of square-ish images tells how many it holds.
    const int w = glyph.width(), h = glyph.height();
    if (h > 0 && w % h == 0) numGlyphs_ = w / h < 5 ? w / h : 1;
    glyphReplaced_ = true;
    DropImages();
    updateGeometry();
    update();
}

void TBitBtnXP::SetNumGlyphs(int n) {
    numGlyphs_ = n < 1 ? 1 : (n > 4 ? 4 : n);
    DropImages();
    update();
}

void TBitBtnXP::SetLayout(TButtonLayout layout) {
    layout_ = layout;
    update();
}

void TBitBtnXP::SetMargin(int margin) {
    if (margin < -1) return;
    margin_ = margin;
    update();
}

void TBitBtnXP::SetSpacing(int spacing) {
    spacing_ = spacing;
    update();
}

void TBitBtnXP::SetCancel(bool cancel) {
    cancel_ = cancel;
    delete escape_;
    escape_ = nullptr;
    if (cancel_ && window()) {
        escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window());
        connect(escape_, &QShortcut::activated, this, [this] {
            if (isEnabled() && isVisible()) animateClick();
        });
    }
}

int TBitBtnXP::LiveImageLists() {
    int n = 0;
    for (const auto& [size, list] : Lists()) n += list.expired() ? 0 : 1;
    return n;
}

void TBitBtnXP::DropImages() {
    list_.reset();
    slots_.fill(-1);
}

void TBitBtnXP::UpdateActive() {
    bool active = hasFocus();
    if (!active && isDefault()) {
        const QWidget* focus = QApplication::focusWidget();
        active = !(focus && focus->window() == window() && qobject_cast<const QPushButton*>(focus));
    }
    if (active != active_) {
        active_ = active;
        update();
    }
}

void TBitBtnXP::Clicked() {
    if (kind_ == bkHelp) {
        for (QWidget* w = this; w; w = w->parentWidget()) {
            const int context = w->property("helpContext").toInt();
            if (context != 0) {
                if (HelpHandler) HelpHandler(context);
                return;
            }
        }
    } else if (kind_ == bkClose) {
        if (QWidget* w = window(); w && w != this) {
            w->close();
            return;
        }
    }
    if (modalResult_ != 0) {
        emit modalResultChosen(modalResult_);
        if (auto* dialog = qobject_cast<QDialog*>(window())) dialog->done(modalResult_);
    }
}

QColor TBitBtnXP::TransparentColour() const {
    if (glyph_.isNull()) return Qt::white;
    const QImage img = glyph_.toImage();
    return QColor::fromRgba(img.pixel(0, img.height() - 1));
}

QPixmap TBitBtnXP::Image(int index) const {
    const int w = glyph_.width() / numGlyphs_;
    QImage img = glyph_.copy(index * w, 0, w, glyph_.height()).toImage().convertToFormat(QImage::Format_ARGB32);
    if (!glyph_.hasAlphaChannel()) {
        // Without an alpha channel the strip's transparent colour is the
        // colour of its bottom-left pixel.
        const QRgb transparent = TransparentColour().rgb();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == (transparent & 0xFFFFFF)) img.setPixel(x, y, 0);
    }
    return QPixmap::fromImage(img);
}

QPixmap TBitBtnXP::StateImage(TButtonState state) {
    if (glyph_.isNull()) return {};
    const int slot = static_cast<int>(state);
    if (list_ && slots_[static_cast<std::size_t>(slot)] >= 0) return list_->Images[static_cast<std::size_t>(slots_[static_cast<std::size_t>(slot)])];
    QPixmap made;
    switch (state) {
    case bsUp: made = Image(0); break;
    case bsDown: made = Image(numGlyphs_ >= 3 ? 2 : 0); break;
    case bsExclusive: made = Image(numGlyphs_ == 4 ? 3 : 0); break;
    case bsDisabled: {
        const QPalette& pal = palette();
        const QRgb face = pal.color(QPalette::Button).rgba(), light = pal.color(QPalette::Light).rgba(),
                   dark = pal.color(QPalette::Dark).rgba();
        if (numGlyphs_ >= 2) {
            QImage img = Image(1).toImage();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QRgb c = img.pixel(x, y);
                    img.setPixel(x, y, qAlpha(c) < 128 ? face : IsWhite(c) ? light : IsGrey(c) ? dark : c);
                }
            made = QPixmap::fromImage(img);
        } else {
            // An embossed silhouette of the normal image.
            const QImage src = Image(0).toImage();
            QImage mask(src.size(), QImage::Format_ARGB32);
            mask.fill(Qt::transparent);
            for (int y = 0; y < src.height(); ++y)
                for (int x = 0; x < src.width(); ++x) {
                    const QRgb c = src.pixel(x, y);
                    if (qAlpha(c) >= 128 && qGray(c) < 192) mask.setPixel(x, y, 0xFF000000);
                }
            QImage out(src.size(), QImage::Format_ARGB32);
            out.fill(face);
            QPainter p(&out);
            auto tinted = [&](QRgb colour) {
                QImage t = mask;
                for (int y = 0; y < t.height(); ++y)
                    for (int x = 0; x < t.width(); ++x)
                        if (qAlpha(t.pixel(x, y))) t.setPixel(x, y, colour);
                return t;
            };
            p.drawImage(1, 1, tinted(light));
            p.drawImage(0, 0, tinted(dark));
            p.end();
            made = QPixmap::fromImage(out);
        }
        break;
    }
    }
    if (!list_) list_ = ListFor(made.size());
    list_->Images.push_back(made);
    slots_[static_cast<std::size_t>(slot)] = static_cast<int>(list_->Images.size()) - 1;
    return made;
}

void TBitBtnXP::CalcLayout(QSize client, QSize glyph, QSize text, TButtonLayout layout, int margin, int spacing,
                           QPoint& glyphPos, QPoint& textPos) {
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    if (horizontal) {
        glyphPos.setY((client.height() - glyph.height() + 1) / 2);
        textPos.setY((client.height() - text.height() + 1) / 2);
    } else {
        glyphPos.setX((client.width() - glyph.width() + 1) / 2);
        textPos.setX((client.width() - text.width() + 1) / 2);
    }
    if (text.width() == 0 || glyph.width() == 0) spacing = 0;
    const int total = horizontal ? client.width() : client.height();
    const int g = horizontal ? glyph.width() : glyph.height();
    const int t = horizontal ? text.width() : text.height();
    if (margin == -1 && spacing == -1) {
        margin = (total - g - t) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (total - (g + spacing + t) + 1) / 2;
    } else if (spacing == -1) {
        spacing = (total - (margin + g) - t) / 2;
    }
    switch (layout) {
    case blGlyphLeft:
        glyphPos.setX(margin);
        textPos.setX(margin + g + spacing);
        break;
    case blGlyphRight:
        glyphPos.setX(client.width() - margin - g);
        textPos.setX(glyphPos.x() - spacing - t);
        break;
    case blGlyphTop:
        glyphPos.setY(margin);
        textPos.setY(margin + g + spacing);
        break;
    case blGlyphBottom:
        glyphPos.setY(client.height() - margin - g);
        textPos.setY(glyphPos.y() - spacing - t);
        break;
    }
}

QSize TBitBtnXP::sizeHint() const {
    const QSize caption = fontMetrics().size(Qt::TextShowMnemonic, text());
    const QSize glyph = glyph_.isNull() ? QSize() : QSize(glyph_.width() / numGlyphs_, glyph_.height());
    return QSize(caption.width() + glyph.width() + 4 + 16, std::max(caption.height(), glyph.height()) + 10);
}

void TBitBtnXP::showEvent(QShowEvent* event) {
    QPushButton::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    StateImage(isEnabled() ? bsUp : bsDisabled);
    if (cancel_ && !escape_) SetCancel(true);
    UpdateActive();
}

void TBitBtnXP::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) DropImages();
}

void TBitBtnXP::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    QRect r = rect();
    const bool styles = UseVisualStyles;
    const bool down = isDown() || isChecked();
    const bool focused = hasFocus();
    const TButtonState state = !isEnabled() ? bsDisabled : down ? bsDown : bsUp;

    if (styles) p.fillRect(r, pal.button());
    if (!styles && (active_ || focused)) {
        p.setPen(pal.color(QPalette::Shadow));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = r;
    opt.features = QStyleOptionButton::None;
    if (down) {
        if (styles) {
            opt.state |= QStyle::State_Sunken;
            style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
        } else {
            p.setPen(pal.color(QPalette::Dark));
            p.setBrush(pal.button());
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        r.adjust(1, 1, -1, -1);
    } else if (!styles) {
        qDrawWinButton(&p, r, pal, false, &pal.brush(QPalette::Button));
        r.adjust(2, 2, -2, -2);
    } else {
        opt.state |= QStyle::State_Raised;
        if (active_ || focused) opt.features |= QStyleOptionButton::DefaultButton;
        opt.state &= ~QStyle::State_HasFocus;
        style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
    }
    if (active_) r = rect().adjusted(1, 1, -1, -1);
    p.setFont(font());
    if (down) r.translate(1, 1);

    bool rtl = layoutDirection() == Qt::RightToLeft;
    TButtonLayout layout = layout_;
    if (rtl && layout == blGlyphLeft) layout = blGlyphRight;
    else if (rtl && layout == blGlyphRight) layout = blGlyphLeft;
    const QPixmap image = StateImage(state);
    const QSize glyphSize = glyph_.isNull() ? QSize(0, 0) : QSize(glyph_.width() / numGlyphs_, glyph_.height());
    const int flags = Qt::TextShowMnemonic | Qt::AlignCenter;
    const QSize textSize = text().isEmpty() ? QSize(0, 0)
                                            : p.fontMetrics().boundingRect(QRect(0, 0, r.width(), 0), flags, text()).size();
    QPoint glyphPos, textPos;
    CalcLayout(r.size(), glyphSize, textSize, layout, margin_, spacing_, glyphPos, textPos);
    if (!image.isNull()) p.drawPixmap(r.topLeft() + glyphPos, image);
    const QRect textRect(r.topLeft() + textPos, textSize);
    if (state == bsDisabled) {
        p.setPen(pal.color(QPalette::Light));
        p.drawText(textRect.translated(1, 1), flags, text());
        p.setPen(pal.color(QPalette::Dark));
    } else {
        p.setPen(pal.color(QPalette::ButtonText));
    }
    p.drawText(textRect, flags, text());

    if (active_ && focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace sondrel
