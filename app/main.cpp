#include <QApplication>

#include "app/MainUnit.h"
#include "app/Startup.h"
#include "ui/Placement.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    sondrel::SetUpApplication(app);

    sondrel::TMainForm form;
    // Centred on the screen, unless the remembered placement says otherwise
    // when the window is first shown.
    sondrel::CentreOnScreen(&form);
    form.show();
    return QApplication::exec();
}
