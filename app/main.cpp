#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/MainUnit.h"
#include "ui/Artwork.h"
#include "ui/Placement.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sondrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sondrel"));
    QApplication::setFont(sondrel::art::UiFont());
    // Qt's own dialogs and buttons speak German, like the rest of the program.
    QTranslator qtGerman;
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    sondrel::TMainForm form;
    // Centred on the screen, unless the remembered placement says otherwise
    // when the window is first shown.
    sondrel::CentreOnScreen(&form);
    form.show();
    return QApplication::exec();
}
