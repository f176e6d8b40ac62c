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

// A fixed dialog: its size never changes, and its title bar offers the
// close box only. CustomizeWindowHint makes Qt ask the window manager for
// exactly the buttons named, no minimise or maximise box.
inline void MakeFixedDialog(QWidget* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->setFixedSize(width, height);
}

}  // namespace sondrel
