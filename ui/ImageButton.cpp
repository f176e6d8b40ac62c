#include "ui/ImageButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace sondrel {

TImagePicture::TImagePicture(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_NoSystemBackground);
    // Reached by Tab, not by a mouse press: the mouse behaves as it always
    // did.
    setFocusPolicy(Qt::TabFocus);
}

void TImagePicture::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void TImagePicture::setShown(bool shown) {
    if (shown_ == shown) return;
    shown_ = shown;
    update();
}

void TImagePicture::paintEvent(QPaintEvent*) {
    if (!shown_ || picture_.isNull()) return;
    QPainter p(this);
    p.drawPixmap(rect(), picture_);
    if (!hasFocus()) return;
    // The focus frame: a dotted line inside the button's rounded face, in
    // the light colour of its lettering.
    QPen pen(QColor(255, 240, 220));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawRoundedRect(QRectF(rect()).adjusted(4.5, 4.5, -5.5, -6.5), 3, 3);
}

void TImagePicture::press() {
    if (spaceDown_ || !isEnabled()) return;
    const QPoint centre = rect().center();
    emit mouseDown(Qt::LeftButton, centre);
    emit clicked();
    emit mouseUp(Qt::LeftButton, centre);
}

void TImagePicture::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceDown_ = true;
        emit mouseDown(Qt::LeftButton, rect().center());
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !spaceDown_) {
        if (event->isAutoRepeat()) return;
        press();
    } else if (event->key() != Qt::Key_Space) {
        QWidget::keyPressEvent(event);
    }
}

void TImagePicture::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || event->isAutoRepeat()) return QWidget::keyReleaseEvent(event);
    if (!spaceDown_) return;
    spaceDown_ = false;
    emit clicked();
    emit mouseUp(Qt::LeftButton, rect().center());
}

void TImagePicture::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TImagePicture::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Tabbing away with Space held lets the button go, as a drag off does.
    if (spaceDown_) {
        spaceDown_ = false;
        emit mouseUp(Qt::LeftButton, QPoint(-1, -1));
    }
    update();
}

void TImagePicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) leftDown_ = true;
    emit mouseDown(event->button(), event->position().toPoint());
}

void TImagePicture::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click is a second press.
    mousePressEvent(event);
}

void TImagePicture::mouseMoveEvent(QMouseEvent* event) { emit mouseMove(event->position().toPoint()); }

void TImagePicture::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = pos.x() >= 0 && pos.x() < width() && pos.y() >= 0 && pos.y() < height();
    const bool click = event->button() == Qt::LeftButton && leftDown_ && inside;
    if (event->button() == Qt::LeftButton) leftDown_ = false;
    // The click comes before the release handler.
    if (click) emit clicked();
    emit mouseUp(event->button(), pos);
}

TImageButton::TImageButton(TImagePicture* normal, QLabel* pressed, QObject* parent)
    : QObject(parent), normal_(normal), pressedPicture_(pressed) {
    pressedPicture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    pressedPicture_->setGeometry(normal_->geometry());
    pressedPicture_->stackUnder(normal_);
    Show(false);
    connect(normal_, &TImagePicture::mouseDown, this, [this](Qt::MouseButton, QPoint) {
        Show(true);
        pressed_ = true;
    });
    connect(normal_, &TImagePicture::mouseMove, this, [this](QPoint pos) {
        if (!pressed_) return;
        const bool inside = pos.x() >= 0 && pos.x() < normal_->width() && pos.y() >= 0 && pos.y() < normal_->height();
        Show(inside);
    });
    connect(normal_, &TImagePicture::mouseUp, this, [this](Qt::MouseButton, QPoint) {
        Show(false);
        pressed_ = false;
    });
    connect(normal_, &TImagePicture::clicked, this, &TImageButton::clicked);
}

void TImageButton::Release() {
    Show(false);
    pressed_ = false;
}

void TImageButton::Show(bool pressedLook) {
    normal_->setShown(!pressedLook);
    pressedPicture_->setVisible(pressedLook);
}

}  // namespace sondrel
