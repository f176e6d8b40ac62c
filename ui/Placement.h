#pragma once

#include <QScreen>
#include <QWidget>

namespace sondrel {

// Puts a window in the middle of the screen it is on.
inline void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

}  // namespace sondrel
