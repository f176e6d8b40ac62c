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
    // Files a file manager's "Open with" passes; without any, start-up is
    // as it always was.
    const QStringList files = QApplication::arguments().mid(1);
    if (!files.isEmpty()) form.OpenFiles(files);
    return QApplication::exec();
}
