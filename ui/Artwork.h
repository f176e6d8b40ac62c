// The program's pictures, drawn in code so that they scale, stay consistent
// with each other and need no binary files: the warm banner colour, the
// green of the left column and a maroon accent run through all of them.
#pragma once

#include <QColor>
#include <QFrame>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace sondrel::art {

inline const QColor Banner(240, 202, 166);
inline const QColor Column(192, 220, 192);
inline const QColor Accent(128, 0, 0);
inline const QColor Navy(0, 0, 128);

// A 101 x 30 picture of an image button with its caption, raised or pressed.
QPixmap ImageButton(const QString& caption, bool pressed);
// The decorative picture of the left column, 193 x 281.
QPixmap PagePicture();
// Tab icons: the four pages (0 to 3), the two inner tabs (single, batch).
QIcon PageIcon(int index);
QIcon SheetIcon(int index);
// The progress window's Cancel picture and the web button's picture.
QIcon CancelIcon();
QIcon WebIcon();
// The program's own icon.
QIcon ProgramIcon();
// The font of every window: a plain sans serif of 8 points.
QFont UiFont();

// A widget's background filled with one of the colours above; a raised
// panel so filled.
void Fill(QWidget* widget, const QColor& colour);
void PaintPanel(QFrame* panel, const QColor& colour);
// The bold line of text on the banner colour at the top of a page or window.
void StyleBanner(QLabel* banner);

}  // namespace sondrel::art
