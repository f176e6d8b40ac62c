// The format lists and what the program remembers between runs: the three
// chosen formats in settings.dat, the window's placement and the batch
// options in the settings store.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QAbstractItemView>
#include <QSettings>
#include <QStyle>

#include "app/MainUnit.h"
#include "ui/Placement.h"
#include "ui_MainForm.h"

namespace sondrel {
namespace {

class ListFiller final : public TFormatCatalogue::Host {
public:
    explicit ListFiller(Ui::TMainForm& ui) : ui_(ui) {}
    void AddMP3Description(const std::string& text) override {
        ui_.mp3format->addItem(QString::fromStdString(text));
        ui_.mp3format2->addItem(QString::fromStdString(text));
    }
    void AddWAVDescription(const std::string& text) override { ui_.WAVFormats->addItem(QString::fromStdString(text)); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }

private:
    Ui::TMainForm& ui_;
};

void Select(QComboBox* box, int index) { box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1); }

QString Rect4(int a, int b, int c, int d) { return QString::asprintf("%d,%d,%d,%d", a, b, c, d); }

}  // namespace

void TMainForm::FillFormatLists() {
    ListFiller filler(*ui);
    const QSignalBlocker b1(ui->mp3format), b2(ui->mp3format2), b3(ui->WAVFormats);
    core_.Catalogue.Build(&filler);
    // The open list as wide as its longest entry, whatever the font.
    for (QComboBox* box : {ui->mp3format, ui->mp3format2, ui->WAVFormats})
        box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 2 * box->view()->frameWidth() +
                                     box->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    Select(ui->mp3format, 0);
    Select(ui->mp3format2, 0);
    Select(ui->WAVFormats, 0);
}

void TMainForm::mp3formatChange() {
    if (SyncingFormats) return;
    SyncingFormats = true;
    ui->mp3format2->setCurrentIndex(ui->mp3format->currentIndex());
    SyncingFormats = false;
    savesetting();
}

void TMainForm::mp3format2Change() {
    if (SyncingFormats) return;
    SyncingFormats = true;
    ui->mp3format->setCurrentIndex(ui->mp3format2->currentIndex());
    SyncingFormats = false;
    savesetting();
}

bool TMainForm::InstalledFolder(const QString& folder) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) + QLatin1Char('/');
    for (const char* system : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/", "/app/"})
        if (path.startsWith(QLatin1String(system))) return true;
    // Installed under another prefix (cmake --install into a home folder):
    // a bin folder beside the share folder that holds our desktop entry.
    const QDir dir(path);
    return dir.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(dir.filePath(QStringLiteral("../share/applications/sondrel.desktop")));
}

QString TMainForm::SettingsDatPath() const { return settingsFolder_ + QStringLiteral("settings.dat"); }

void TMainForm::savesetting() {
    QFile file(SettingsDatPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    char bytes[12];
    const int values[3] = {ui->mp3format->currentIndex(), ui->mp3format2->currentIndex(),
                           ui->WAVFormats->currentIndex()};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<char>(static_cast<unsigned>(values[i]) >> (8 * b));
    file.write(bytes, 12);
}

void TMainForm::ReadSettingsDat() {
    QFile file(SettingsDatPath());
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.read(12);
    QComboBox* boxes[] = {ui->mp3format, ui->mp3format2, ui->WAVFormats};
    // A short file applies what it holds; the rest keep their selection.
    for (int i = 0; i < 3 && bytes.size() >= 4 * (i + 1); ++i) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[4 * i + b])) << (8 * b);
        const QSignalBlocker block(boxes[i]);
        Select(boxes[i], static_cast<std::int32_t>(v));
    }
}

std::unique_ptr<QSettings> TMainForm::OpenStore() {
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\") + exe, QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Software"), exe);
#endif
}

void TMainForm::SaveStore(bool destroying) {
    auto store = OpenStore();
    store->beginGroup(QStringLiteral("TMainForm"));
    store->setValue("FormVersion", "0");
    const QScreen* screen = this->screen();
    const QSize screenSize = screen ? screen->size() : QSize(0, 0);
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    store->setValue("Flags", "0");
    store->setValue("ShowCmd", isMinimized() ? "2" : isMaximized() ? "3" : "1");
    store->setValue("PixelsPerInch", QString::number(dpi));
    const QString suffix = QString::asprintf("(%dx%d)", screenSize.width(), screenSize.height());
    for (const QString& name : {QStringLiteral("MinMaxPos"), QStringLiteral("MinMaxPos") + suffix})
        store->setValue(name, Rect4(-1, -1, -1, -1));
    const QString normPos = Rect4(normal.left(), normal.top(), normal.left() + normal.width(), normal.top() + normal.height());
    for (const QString& name : {QStringLiteral("NormPos"), QStringLiteral("NormPos") + suffix}) store->setValue(name, normPos);
    store->setValue("Visible", destroying ? "1" : "0");

    auto flag = [](bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); };
    store->setValue("cdqual2check_Checked", flag(ui->cdqual2check->isChecked()));
    store->setValue("cdqualcheck_Checked", flag(ui->cdqualcheck->isChecked()));
    store->setValue("QuellCheck_Checked", flag(ui->QuellCheck->isChecked()));
    store->setValue("OwnfolderCheck_Checked", flag(ui->OwnfolderCheck->isChecked()));
    store->setValue("OutDirectoryEd_Text", ui->OutDirectoryEd->fileName().trimmed());
    store->setValue("OutDirectory2Ed_Text", ui->OutDirectory2Ed->fileName().trimmed());
    store->setValue("OwnFolderCheck2_Checked", flag(ui->OwnFolderCheck2->isChecked()));
    store->setValue("QuellCheck2_Checked", flag(ui->QuellCheck2->isChecked()));
    store->endGroup();
    store->sync();
    storeSaved_ = true;
    // A store that cannot be written is worth a word while the window is
    // still there to say it; the close goes ahead either way.
    if (store->status() != QSettings::NoError && !destroying)
        ShowError("Die Einstellungen konnten nicht gespeichert werden (" + store->fileName().toStdString() + ").");
}

void TMainForm::KeepOnScreen() {
    // A placement remembered on a larger screen may lie off this one,
    // and with it Go!, Ende and the status line: moved onto it, where the
    // frame (title bar included, as far as it is known) fits. Where it
    // fits, it stays as remembered.
    const QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen) screen = this->screen();
    if (!screen) return;
    const QRect client = geometry();
    QRect frame = frameGeometry();
    if (frame == client) {
        // Not framed yet: room for a title bar of the style's height above
        // it and a border around it, a few pixels more than most window
        // managers draw.
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), border = 4;
        frame = client.adjusted(-border, -title - border, border, border);
    }
    const QPoint fitted = FittedPlace(frame, screen->availableGeometry());
    if (fitted != frame.topLeft()) move(pos() + (fitted - frame.topLeft()));
}

void TMainForm::RestoreStore() {
    auto store = OpenStore();
    store->beginGroup(QStringLiteral("TMainForm"));
    if (store->value("FormVersion", "0").toString().toInt() < 0) return;

    const QScreen* screen = this->screen();
    const QSize screenSize = screen ? screen->size() : QSize(0, 0);
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    const QString suffix = QString::asprintf("(%dx%d)", screenSize.width(), screenSize.height());
    auto read = [&](const QString& name) {
        QVariant v = store->value(name + suffix);
        if (!v.isValid()) v = store->value(name);
        return v;
    };
    const QVariant minMax = read("MinMaxPos");
    const QVariant normPos = read("NormPos");
    const bool sameDpi = store->value("PixelsPerInch").toString().trimmed().toInt() == dpi;
    if ((minMax.isValid() || normPos.isValid()) && sameDpi && normPos.isValid()) {
        // Numbers the text lacks default to the window's present edges.
        const QRect g = geometry();
        int edge[4] = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        const QStringList parts = normPos.toString().split(',');
        for (int i = 0; i < 4 && i < parts.size(); ++i) {
            bool ok = false;
            const int v = parts[i].trimmed().toInt(&ok);
            if (ok) edge[i] = v;
        }
        // The window's size is fixed; of a stored rectangle only its place
        // takes effect.
        if (edge[2] > edge[0] && edge[3] > edge[1]) setGeometry(edge[0], edge[1], edge[2] - edge[0], edge[3] - edge[1]);
        KeepOnScreen();
    }
    switch (store->value("ShowCmd", "0").toString().toInt()) {
    case 2:
    case 6:
    case 7: showMinimized(); break;
    case 3: showMaximized(); break;
    default: break;
    }

    auto restoreCheck = [&](const char* name, QAbstractButton* button) {
        const QString text = store->value(name, button->isChecked() ? "True" : "False").toString().trimmed();
        if (text.compare("True", Qt::CaseInsensitive) == 0) button->setChecked(true);
        else if (text.compare("False", Qt::CaseInsensitive) == 0) button->setChecked(false);
    };
    auto restoreText = [&](const char* name, TFileEdit* field) {
        field->setFileName(store->value(name, field->fileName()).toString().trimmed());
    };
    restoreCheck("cdqual2check_Checked", ui->cdqual2check);
    restoreCheck("cdqualcheck_Checked", ui->cdqualcheck);
    restoreCheck("QuellCheck_Checked", ui->QuellCheck);
    restoreCheck("OwnfolderCheck_Checked", ui->OwnfolderCheck);
    restoreText("OutDirectoryEd_Text", ui->OutDirectoryEd);
    restoreText("OutDirectory2Ed_Text", ui->OutDirectory2Ed);
    restoreCheck("OwnFolderCheck2_Checked", ui->OwnFolderCheck2);
    restoreCheck("QuellCheck2_Checked", ui->QuellCheck2);
    store->endGroup();
}

}  // namespace sondrel
