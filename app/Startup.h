// What the program sets up before its first window: names, font, and Qt's
// own texts in German. Shared by main() and the tests that run the window
// on a real display.
#pragma once

class QApplication;

namespace sondrel {

void SetUpApplication(QApplication& app);

}  // namespace sondrel
