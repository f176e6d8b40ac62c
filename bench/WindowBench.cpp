// Times the window's own path for one job: the real main window and
// progress window (offscreen), a Go click until the progress window has
// gone, less its 100 ms close delay. Prints the seconds.
//
//     sondrel-window-bench mp3-to-wav SOURCE TARGET
//     sondrel-window-bench wav-to-mp3 SOURCE TARGET
//     sondrel-window-bench batch-mp3-to-wav OUTDIR FILE...
//     sondrel-window-bench batch-wav-to-mp3 OUTDIR FILE...
//     sondrel-window-bench list FOLDER
//
// "list" times a folder dropped on the WAV batch list until its whole tree
// is in the list, and prints the seconds and the entries.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/MainUnit.h"
#include "app/Startup.h"
#include "ui_MainForm.h"

int main(int argc, char* argv[]) {
    const std::string job = argc > 1 ? argv[1] : "";
    const bool batch = job == "batch-mp3-to-wav" || job == "batch-wav-to-mp3";
    const bool list = job == "list" && argc == 3;
    if (!list && ((batch && argc < 4) || (!batch && (argc != 4 || (job != "mp3-to-wav" && job != "wav-to-mp3"))))) {
        std::fprintf(stderr, "usage: %s mp3-to-wav|wav-to-mp3 SOURCE TARGET\n"
                             "       %s batch-mp3-to-wav|batch-wav-to-mp3 OUTDIR FILE...\n", argv[0], argv[0]);
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
    if (list) {
        ui->PageControl1->setCurrentWidget(ui->TabSheet2);
        ui->PageControl3->setCurrentWidget(ui->BatchSheet2);
        QElapsedTimer clock;
        clock.start();
        form.AddToBatchList(ui->FileList2, {argv[2]});
        // Until the list has been laid out and painted with them.
        ui->FileList2->scrollToBottom();
        QCoreApplication::processEvents();
        std::printf("%.3f %d\n", clock.nsecsElapsed() / 1e9, ui->FileList2->count());
        return 0;
    }
    const bool toWav = job.find("mp3-to-wav") != std::string::npos;
    int mode = toWav ? 1 : 3;
    if (batch) {
        // The files into their own folder (emptied first, so that no
        // question is asked).
        const QString out = QString::fromLocal8Bit(argv[2]);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QStringList files;
        for (int i = 3; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);
        form.AddFiles(toWav ? ui->FileList : ui->FileList2, files);
        (toWav ? ui->OwnfolderCheck : ui->OwnFolderCheck2)->setChecked(true);
        (toWav ? ui->OutDirectoryEd : ui->OutDirectory2Ed)->setFileName(out);
        mode = toWav ? 2 : 4;
    } else {
        (toWav ? ui->InputFileEd : ui->input2ed)->setFileName(QString::fromLocal8Bit(argv[2]));
        (toWav ? ui->OutputFileEd : ui->output2ed)->setFileName(QString::fromLocal8Bit(argv[3]));
        // A target left by an earlier run would make the window ask first.
        QFile::remove(QString::fromLocal8Bit(argv[3]));
    }
    QElapsedTimer clock;
    clock.start();
    form.GoClick(mode);
    const double seconds = clock.nsecsElapsed() / 1e9 - 0.1;
    std::printf("%.3f\n", seconds);
    return 0;
}
