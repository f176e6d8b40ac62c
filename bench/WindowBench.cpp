// Times the window's own path for one job: the real main window and
// progress window (offscreen), a Go click until the progress window has
// gone, less its 100 ms close delay. Prints the seconds.
//
//     sondrel-window-bench mp3-to-wav SOURCE TARGET
//     sondrel-window-bench wav-to-mp3 SOURCE TARGET
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/MainUnit.h"
#include "app/Startup.h"
#include "ui_MainForm.h"

int main(int argc, char* argv[]) {
    if (argc != 4 || (std::strcmp(argv[1], "mp3-to-wav") != 0 && std::strcmp(argv[1], "wav-to-mp3") != 0)) {
        std::fprintf(stderr, "usage: %s mp3-to-wav|wav-to-mp3 SOURCE TARGET\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    sondrel::SetUpApplication(app);
    QTemporaryDir folder;  // settings.dat and the store stay out of the way
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    sondrel::TMainForm form(folder.path());
    form.show();
    // The window is on screen and painted before the click, as a user
    // meets it.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    Ui::TMainForm* ui = form.Form();
    const bool toWav = std::strcmp(argv[1], "mp3-to-wav") == 0;
    (toWav ? ui->InputFileEd : ui->input2ed)->setFileName(QString::fromLocal8Bit(argv[2]));
    (toWav ? ui->OutputFileEd : ui->output2ed)->setFileName(QString::fromLocal8Bit(argv[3]));
    // A target left by an earlier run would make the window ask first.
    QFile::remove(QString::fromLocal8Bit(argv[3]));
    QElapsedTimer clock;
    clock.start();
    form.GoClick(toWav ? 1 : 3);
    const double seconds = clock.nsecsElapsed() / 1e9 - 0.1;
    std::printf("%.3f\n", seconds);
    return 0;
}
