#include "app/Startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "ui/Accessible.h"
#include "ui/Artwork.h"

namespace sondrel {

void SetUpApplication(QApplication& app) {
    // The name places the per-user settings folder. No display name: on X11
    // Qt appends it to every caption ("Fehler — Sondrel"), and the captions
    // are the program's own texts.
    QApplication::setApplicationName(QStringLiteral("Sondrel"));
    QApplication::setFont(art::UiFont());
    InstallAccessibleInterfaces();
    // Qt's own dialogs and buttons speak German, like the rest of the program.
    auto* qtGerman = new QTranslator(&app);
    if (qtGerman->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtGerman);
}

}  // namespace sondrel
