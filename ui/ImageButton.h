// Image buttons: a normal picture on top that takes the mouse and a pressed
// picture beneath it, one of them seen at a time. The normal picture keeps
// its mouse grab while the button is held, so it is never hidden as far as
// Qt is concerned: "hiding" it only stops its painting and lets the pressed
// picture beneath show through.
#pragma once

#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace sondrel {

class TImagePicture : public QWidget {
    Q_OBJECT
public:
    explicit TImagePicture(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return picture_; }
    // Whether the picture is seen (it still takes the mouse when not).
    bool isShown() const { return shown_; }
    void setShown(bool shown);
    QSize sizeHint() const override { return picture_.isNull() ? QSize(101, 30) : picture_.deviceIndependentSize().toSize(); }
    // A click without the mouse, as Return gives it: pressed, clicked and
    // released (nothing while Space holds it down). The accessibility
    // bus's press action comes here.
    void press();
    // The key that presses it from anywhere in its window, for assistive
    // technology to announce; the window binds it.
    QKeySequence shortcut() const { return shortcut_; }
    void setShortcut(const QKeySequence& key) { shortcut_ = key; }

signals:
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseMove(QPoint pos);
    void mouseUp(Qt::MouseButton button, QPoint pos);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Space presses the button while held and clicks on release, Return
    // and Enter click at once: the same signals a mouse click sends.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QKeySequence shortcut_;
    bool shown_ = true;
    bool leftDown_ = false;
    bool spaceDown_ = false;
};

// The behaviour of one pair: press, drag off and back, release, click.
class TImageButton : public QObject {
    Q_OBJECT
public:
    TImageButton(TImagePicture* normal, QLabel* pressed, QObject* parent = nullptr);
    bool Pressed() const { return pressed_; }
    // What the click handler does first: the button looks released while
    // its action (a modal window) is on screen.
    void Release();
    TImagePicture* Normal() const { return normal_; }
    QLabel* PressedPicture() const { return pressedPicture_; }

signals:
    void clicked();

private:
    void Show(bool pressedLook);

    TImagePicture* normal_;
    QLabel* pressedPicture_;
    bool pressed_ = false;
};

}  // namespace sondrel
