#include "ui/ImageButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace sondrel {

TImagePicture::TImagePicture(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_NoSystemBackground);
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
