#include <QApplication>
#include <cstdio>
#include <string>

#include "app/MainUnit.h"
#include "app/Startup.h"
#include "ui/Placement.h"

namespace {

// Answered before any window: these need no display.
bool Informational(int argc, char* argv[], int& status) {
    if (argc != 2) return false;
    const std::string a = argv[1];
    if (a == "--version") {
        std::printf("sondrel %s\n", SONDREL_VERSION);
    } else if (a == "--help" || a == "-h") {
        std::printf(
            "Aufruf: sondrel [DATEI...]\n"
            "\n"
            "Öffnet das Fenster von Sondrel: MP3 und WAV umwandeln, WAV in andere\n"
            "PCM-Formate bringen, ID3v1.1-Tags bearbeiten.\n"
            "\n"
            "Eine genannte MP3- oder WAV-Datei kommt als Quelldatei auf ihre Seite\n"
            "(die Zieldatei wird daraus benannt); mehrere kommen in die Stapellisten\n"
            "ihrer Art. Andere oder fehlende Dateien werden genannt und übergangen.\n"
            "\n"
            "  --help     diese Hilfe\n"
            "  --version  die Version\n"
            "\n"
            "Umwandeln im Terminal: sondrel-cli --help\n");
    } else {
        return false;
    }
    status = 0;
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    int status = 0;
    if (Informational(argc, argv, status)) return status;
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
