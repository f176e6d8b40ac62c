#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sondrel");
    // Qt's own dialogs and buttons speak German, like the rest of the program.
    QTranslator qtGerman;
    if (qtGerman.load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
    QMainWindow window;
    window.setWindowTitle("Velkor Sondrel 1.1");
    window.resize(600, 400);
    window.show();
    return QApplication::exec();
}
