#include <malloc.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
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
            "ihrer Art, ein Ordner mit allen MP3- und WAV-Dateien seines Baums.\n"
            "Andere oder fehlende Dateien werden genannt und übergangen.\n"
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

QtMessageHandler qtHandler = nullptr;

// Qt ends the program (and dumps core) when it finds no display to open
// the window on; the user learns why in German, and the exit status is 1.
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs("sondrel: Keine Anzeige gefunden. Das Fenster braucht eine grafische Oberfläche\n"
                   "(X11 oder Wayland, DISPLAY oder WAYLAND_DISPLAY gesetzt). Umwandeln im Terminal:\n"
                   "sondrel-cli --help\n",
                   stderr);
        std::_Exit(1);
    }
    // The platform plugin's own words on the way there say the same in
    // English; ours follow them.
    if (context.category && QLatin1String(context.category).startsWith(QLatin1String("qt.qpa"))) return;
    if (qtHandler) qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char* argv[]) {
    int status = 0;
    // The encoder's blocks are buffers of tens of megabytes, made and
    // freed a minute of audio at a time: from their own mappings, so that
    // freeing one gives its memory back instead of keeping it in the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    if (Informational(argc, argv, status)) return status;
    qtHandler = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    sondrel::SetUpApplication(app);

    sondrel::TMainForm form;
    // Centred on the screen, unless the remembered placement says otherwise
    // when the window is first shown.
    sondrel::CentreOnScreen(&form);
    form.show();
    // Files a file manager's "Open with" passes, as the bytes of their
    // names (QApplication has taken its own options out of argv); without
    // any, start-up is as it always was.
    const std::vector<std::string> files(argv + 1, argv + argc);
    if (!files.empty()) form.OpenFiles(files);
    return QApplication::exec();
}
