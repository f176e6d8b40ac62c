#pragma once

#include <QScreen>
#include <algorithm>
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

// Where a window whose frame is frame goes so that all of it is on a
// screen of available room avail (a placement remembered on a larger
// screen): moved by as little as it takes, its top left corner first
// where it is larger than the room.
inline QPoint FittedPlace(const QRect& frame, const QRect& avail) {
    const int x = std::max(avail.left(), std::min(frame.left(), avail.right() + 1 - frame.width()));
    const int y = std::max(avail.top(), std::min(frame.top(), avail.bottom() + 1 - frame.height()));
    return {x, y};
}

// A fixed dialog: its size never changes, and its title bar offers the
// close box only. CustomizeWindowHint makes Qt ask the window manager for
// exactly the buttons named, no minimise or maximise box.
inline void MakeFixedDialog(QWidget* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(width, height);
}

}  // namespace sondrel
