#include "app/MainUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>

#include "app/AboutBox.h"
#include "app/Maker.h"
#include "jobs/Messages.h"
#include "ui/Accessible.h"
#include "ui/Artwork.h"
#include "ui/ButtonsXP.h"
#include "ui/FileNames.h"
#include "ui_MainForm.h"

namespace sondrel {

TProgressPanel::TProgressPanel(const int& drawnPercent, QWidget* parent) : QFrame(parent), drawn_(drawnPercent) {
    setObjectName("ProgressPanel");
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TProgressPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect r = contentsRect().adjusted(1, 1, -1, -1);
    PanelRect = r;
    const int width = r.width() * drawn_ / 100;
    if (width <= 0) return;
    p.fillRect(QRect(r.left(), r.top(), width, r.height()), art::Navy);
}

TMainForm::TMainForm(const QString& programFolder, QWidget* parent)
    : QMainWindow(parent), ProgramFolder(programFolder), ui(new Ui::TMainForm), core_(*this) {
    InstallAccessibleInterfaces();
    ui->setupUi(this);
    // The pages are laid out to the pixel: the window has one size, and the
    // window manager offers no resizing (openbox then also leaves off the
    // handle it would draw beneath the status bar).
    setFixedSize(size());
    setWindowIcon(art::ProgramIcon());
    BuildDecoration();
    MakeImageButtons();
    MakeListControls();
    BuildStatusBar();
    NameControls();
    FormCreate();
    ConnectHandlers();
    statusForm_ = new TStatusForm(*this, this);
}

TMainForm::~TMainForm() {
    // The lists empty themselves while the window goes; their buttons may
    // be gone by then.
    for (QListWidget* list : {ui->FileList, ui->FileList2}) {
        list->disconnect(this);
        list->model()->disconnect(this);
    }
    if (!storeSaved_) SaveStore(true);
    FormDestroy();
    delete ui;
}

void TMainForm::FormCreate() {
    // 1. The program folder, always ending in a separator.
    if (ProgramFolder.isEmpty()) ProgramFolder = QCoreApplication::applicationDirPath();
    ProgramFolder = QDir::toNativeSeparators(ProgramFolder);
    if (!ProgramFolder.endsWith(QDir::separator())) ProgramFolder += QDir::separator();
    // settings.dat stays beside a program run from its build or unpacked
    // folder; an installed program, or one whose folder is not writable,
    // keeps it in the user's configuration folder (root may write to
    // /usr/bin, but a file there belongs to no package).
    settingsFolder_ = ProgramFolder;
    if (!QFileInfo(ProgramFolder).isWritable() || InstalledFolder(ProgramFolder)) {
        settingsFolder_ = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(settingsFolder_);
        settingsFolder_ = QDir::toNativeSeparators(settingsFolder_) + QDir::separator();
    }
    // 2. and 3. The format lists, their first entries selected.
    FillFormatLists();
    // 4. The remembered selections.
    ReadSettingsDat();
    // 5. The genre names of the tag editor.
    FillGenreList();
    // 6. The batch counters.
    core_.State.ItemIndex = 0;
    core_.State.ItemTotal = 1;
}

void TMainForm::FormDestroy() {
    core_.Catalogue.Release();
}

bool TMainForm::FormCloseQuery() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Programm beenden"),
                    QStringLiteral("Hiermit beenden Sie das Programm! Alle nicht gespeicherten Daten gehen verloren!"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    SaveStore(false);
    event->accept();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    RestoreStore();
    // Again once the window manager has framed it (its title bar and
    // borders are known only then).
    framePending_ = true;
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (!framePending_ || frameGeometry() == geometry()) return;
    framePending_ = false;
    KeepOnScreen();
}

void TMainForm::BuildDecoration() {
    const QFont font = art::UiFont();
    setFont(font);

    const QPixmap picture = art::PagePicture();
    QLabel* banners[] = {ui->Banner1, ui->Banner2, ui->Banner3, ui->Banner4};
    QFrame* columns[] = {ui->Column1, ui->Column2, ui->Column3, ui->Column4};
    QLabel* pictures[] = {ui->Picture1, ui->Picture2, ui->Picture3, ui->Picture4};
    QFrame* boxes[] = {ui->TitleBox1, ui->TitleBox2, ui->TitleBox3, ui->TitleBox4};
    QLabel* titles[] = {ui->PageTitle1, ui->PageTitle2, ui->PageTitle3, ui->PageTitle4};
    QFont title;
    title.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans")});
    title.setPixelSize(19);
    title.setWeight(QFont::Black);
    for (int i = 0; i < 4; ++i) {
        art::StyleBanner(banners[i]);
        art::PaintPanel(columns[i], art::Column);
        pictures[i]->setPixmap(picture);
        art::Fill(boxes[i], art::Banner);
        titles[i]->setFont(title);
        QPalette pal = titles[i]->palette();
        pal.setColor(QPalette::WindowText, art::Accent);
        titles[i]->setPalette(pal);
        ui->PageControl1->setTabIcon(i, art::PageIcon(i));
    }
    for (QTabWidget* inner : {ui->PageControl2, ui->PageControl3, ui->PageControl4})
        for (int i = 0; i < inner->count(); ++i) inner->setTabIcon(i, art::SheetIcon(i));

    const QString goCaption = QStringLiteral("Go!");
    for (int i = 0; i < 5; ++i) {
        GoPictures()[i].first->setPicture(art::ImageButton(goCaption, false));
        GoPictures()[i].second->setPixmap(art::ImageButton(goCaption, true));
    }
    ui->ueberbtn->setPicture(art::ImageButton(QStringLiteral("Info"), false));
    ui->ueberBtn2->setPixmap(art::ImageButton(QStringLiteral("Info"), true));
    ui->EndeBtn->setPicture(art::ImageButton(QStringLiteral("Ende"), false));
    ui->EndeBtnDown->setPixmap(art::ImageButton(QStringLiteral("Ende"), true));
    for (TBitBtnXP* add : {ui->AddBtn, ui->AddBtn2}) add->SetGlyph(glyphs::Add());
    for (TBitBtnXP* del : {ui->Delbtn, ui->DelBtn2}) del->SetGlyph(glyphs::Remove());
    for (TBitBtnXP* all : {ui->DelAllBtn, ui->DelAllBtn2}) all->SetGlyph(glyphs::RemoveAll());
    ui->OpenBtn->SetGlyph(glyphs::Open());
    ui->SaveBtn->SetGlyph(glyphs::Save());
    ui->wwwBtn->setIcon(art::WebIcon());
    ui->wwwBtn->setIconSize(QSize(24, 24));
    ui->wwwBtn->setText(QString::fromUtf8(maker::WebAddress));
    ui->PageControl1->setCurrentIndex(0);
}

std::array<std::pair<TImagePicture*, QLabel*>, 5> TMainForm::GoPictures() const {
    return {{{ui->GoBtn1, ui->GoBtn1Down},
             {ui->Gobtn2, ui->Gobtn2down},
             {ui->GoBtn3, ui->GoBtn3down},
             {ui->GoBtn4, ui->GoBtn4Down},
             {ui->GoBtn5, ui->GoBtn5Down}}};
}

void TMainForm::MakeImageButtons() {
    // Each pair of pictures becomes a button: press, drag and release
    // swap them, a release inside clicks.
    for (std::size_t i = 0; i < 5; ++i)
        GoButtons[i] = new TImageButton(GoPictures()[i].first, GoPictures()[i].second, this);
    AboutButton = new TImageButton(ui->ueberbtn, ui->ueberBtn2, this);
    ExitButton = new TImageButton(ui->EndeBtn, ui->EndeBtnDown, this);
}

void TMainForm::NameControls() {
    // The lists are read as "Genre: Jazz", not as "Jazz" (set before their
    // names, which make their accessible interfaces).
    for (QComboBox* box : {ui->mp3format, ui->mp3format2, ui->WAVFormats, ui->edGenre})
        box->setProperty(kNamedComboBox, true);
    // What a screen reader says for each control: the caption its picture
    // shows, or the label beside it (which also becomes its buddy, so that
    // the label's mnemonic reaches it).
    for (const auto& [picture, pressed] : GoPictures()) picture->setAccessibleName(QStringLiteral("Go!"));
    ui->ueberbtn->setAccessibleName(QStringLiteral("Info"));
    ui->EndeBtn->setAccessibleName(QStringLiteral("Ende"));
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {ui->Label1, ui->InputFileEd},   {ui->Label2, ui->OutputFileEd},     {ui->DirLabel1, ui->OutDirectoryEd},
        {ui->Label3, ui->input2ed},      {ui->Label4, ui->output2ed},        {ui->Label5, ui->mp3format},
        {ui->DirLabel2, ui->OutDirectory2Ed}, {ui->Label9, ui->mp3format2}, {ui->Label6, ui->input3ed},
        {ui->Label7, ui->output3ed},     {ui->Label8, ui->WAVFormats},       {ui->TagLabel1, ui->edTitle},
        {ui->TagLabel2, ui->edArtist},   {ui->TagLabel3, ui->edAlbum},       {ui->TagLabel4, ui->edYear},
        {ui->TagLabel5, ui->edGenre},    {ui->TagLabel6, ui->edComment},     {ui->TagLabel7, ui->edLiedNr}};
    for (const auto& [label, control] : labelled) {
        QString name = label->text();
        name.remove(QLatin1Char('&'));
        if (name.endsWith(QLatin1Char(':'))) name.chop(1);
        label->setBuddy(control);
        control->setAccessibleName(name);
        if (auto* field = qobject_cast<TFileEdit*>(control)) {
            field->lineEdit()->setAccessibleName(name);
            // Two or three on a page: each says which field it fills.
            field->browseButton()->setAccessibleName(QStringLiteral("Durchsuchen: ") + name);
            // Reached by Tab right after its field.
            QWidget::setTabOrder(field->lineEdit(), field->browseButton());
        }
    }
    for (QListWidget* list : {ui->FileList, ui->FileList2}) list->setAccessibleName(QStringLiteral("Dateiliste"));
    ProgressPanel->setAccessibleName(QStringLiteral("Fortschritt"));
    // The status line's name is the text it shows ("Verarbeite Datei 3 von
    // 6"); what it is, is its description.
    StatusText->setAccessibleDescription(QStringLiteral("Status"));
}

void TMainForm::BuildStatusBar() {
    QStatusBar* bar = ui->StatusBar1;
    bar->setFixedHeight(19);
    StatusText = new QLabel(bar);
    // Its line at the end of a job is read out wherever the focus is. (Set
    // first: the accessible interface is made at the label's first event.)
    StatusText->setProperty(kNotifyingLabel, true);
    StatusText->setObjectName("StatusPanel0");
    StatusText->setFixedWidth(250);
    StatusText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgressPanel = new TProgressPanel(DrawnPercent, bar);
    bar->addWidget(StatusText);
    bar->addWidget(ProgressPanel, 1);
}

void TMainForm::ConnectHandlers() {
    for (int i = 0; i < 5; ++i)
        connect(GoButtons[static_cast<std::size_t>(i)], &TImageButton::clicked, this, [this, i] { GoClick(i + 1); });
    connect(AboutButton, &TImageButton::clicked, this, &TMainForm::ueberbtnClick);
    connect(ExitButton, &TImageButton::clicked, this, &TMainForm::EndeBtnClick);
    connect(ui->wwwBtn, &QToolButton::clicked, this, &TMainForm::wwwBtnClick);

    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TMainForm::PageChanged);
    connect(ui->AddBtn, &QPushButton::clicked, this, &TMainForm::AddBtnClick);
    connect(ui->AddBtn2, &QPushButton::clicked, this, &TMainForm::AddBtn2Click);
    connect(ui->Delbtn, &QPushButton::clicked, this, &TMainForm::DelbtnClick);
    connect(ui->DelBtn2, &QPushButton::clicked, this, &TMainForm::DelBtn2Click);
    connect(ui->DelAllBtn, &QPushButton::clicked, this, &TMainForm::DelAllBtnClick);
    connect(ui->DelAllBtn2, &QPushButton::clicked, this, &TMainForm::DelAllBtn2Click);
    connect(ui->InputFileEd, &TFileEdit::afterDialog, this, &TMainForm::InputFileEdAfterDialog);
    connect(ui->input2ed, &TFileEdit::afterDialog, this, &TMainForm::input2edAfterDialog);
    connect(ui->InputFileEd, &TFileEdit::fileDropped, this, [this](const QString& n) { InputFileEdAfterDialog(n, true); });
    connect(ui->input2ed, &TFileEdit::fileDropped, this, [this](const QString& n) { input2edAfterDialog(n, true); });
    for (QListWidget* list : {ui->FileList, ui->FileList2}) list->viewport()->installEventFilter(this);
    // Anything dropped on the tag page, its fields included, is a file to
    // open, never text for a field.
    ui->TabSheet4->setAcceptDrops(true);
    for (QWidget* w : TagDropTargets()) w->installEventFilter(this);
    // The delete buttons are only usable when there is something to delete.
    const std::pair<QListWidget*, std::pair<TBitBtnXP*, TBitBtnXP*>> lists[] = {
        {ui->FileList, {ui->Delbtn, ui->DelAllBtn}}, {ui->FileList2, {ui->DelBtn2, ui->DelAllBtn2}}};
    for (const auto& [list, buttons] : lists) {
        auto refresh = [list = list, buttons = buttons] {
            buttons.first->setEnabled(!list->selectedItems().isEmpty());
            buttons.second->setEnabled(list->count() > 0);
        };
        connect(list, &QListWidget::itemSelectionChanged, this, refresh);
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, refresh);
        connect(list->model(), &QAbstractItemModel::rowsRemoved, this, refresh);
        connect(list->model(), &QAbstractItemModel::modelReset, this, refresh);
        refresh();
    }

    connect(ui->OpenBtn, &QPushButton::clicked, this, &TMainForm::OpenBtnClick);
    connect(ui->SaveBtn, &QPushButton::clicked, this, &TMainForm::SaveBtnClick);
    connect(ui->edComment, &QLineEdit::textChanged, this, &TMainForm::edCommentChange);

    connect(ui->mp3format, &QComboBox::activated, this, &TMainForm::mp3formatChange);
    connect(ui->WAVFormats, &QComboBox::activated, this, &TMainForm::mp3formatChange);
    connect(ui->mp3format2, &QComboBox::activated, this, &TMainForm::mp3format2Change);

    // Keys a keyboard user finds (in the tabs' tips, and announced by a
    // screen reader with the Go buttons): Alt+1 to Alt+4 for the pages,
    // Alt+E and Alt+B for a page's single-file and batch tab, Alt+G and
    // Ctrl+Return for the Go button of the page in view.
    for (int i = 0; i < ui->PageControl1->count(); ++i) {
        const QKeySequence key(QStringLiteral("Alt+%1").arg(i + 1));
        ui->PageControl1->setTabToolTip(i, key.toString(QKeySequence::NativeText));
        connect(new QShortcut(key, this), &QShortcut::activated, this, [this, i] { ui->PageControl1->setCurrentIndex(i); });
    }
    for (QTabWidget* tabs : {ui->PageControl2, ui->PageControl3}) {
        tabs->setTabToolTip(0, QKeySequence(QStringLiteral("Alt+E")).toString(QKeySequence::NativeText));
        tabs->setTabToolTip(1, QKeySequence(QStringLiteral("Alt+B")).toString(QKeySequence::NativeText));
    }
    const auto subTab = [this](int index) {
        QWidget* page = ui->PageControl1->currentWidget();
        QTabWidget* tabs = page == ui->TabSheet1 ? ui->PageControl2 : page == ui->TabSheet2 ? ui->PageControl3 : nullptr;
        if (tabs) tabs->setCurrentIndex(index);
    };
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+E")), this), &QShortcut::activated, this, [subTab] { subTab(0); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+B")), this), &QShortcut::activated, this, [subTab] { subTab(1); });
    for (const auto& [picture, pressed] : GoPictures()) picture->setShortcut(QKeySequence(QStringLiteral("Alt+G")));
    for (const char* key : {"Alt+G", "Ctrl+Return", "Ctrl+Enter"})
        connect(new QShortcut(QKeySequence(QString::fromLatin1(key)), this), &QShortcut::activated, this, [this] {
            if (const int mode = VisibleGoMode(); mode > 0) GoPictures()[static_cast<std::size_t>(mode - 1)].first->press();
        });

    // The Delete key in a batch list removes its selection, as "Löschen".
    for (QListWidget* list : {ui->FileList, ui->FileList2}) {
        auto* remove = new QShortcut(QKeySequence::Delete, list, nullptr, nullptr, Qt::WidgetShortcut);
        connect(remove, &QShortcut::activated, this, [this, list] { DeleteSelected(list); });
    }

    // Escape on a batch tab presses its "Löschen" button.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (ui->PageControl1->currentWidget() == ui->TabSheet1 && ui->PageControl2->currentWidget() == ui->BatchSheet1)
            ui->Delbtn->click();
        else if (ui->PageControl1->currentWidget() == ui->TabSheet2 &&
                 ui->PageControl3->currentWidget() == ui->BatchSheet2)
            ui->DelBtn2->click();
    });
}

QList<QWidget*> TMainForm::TagDropTargets() const {
    return {ui->TabSheet4, ui->edTitle,   ui->edArtist,  ui->edAlbum,           ui->edYear,
            ui->edComment, ui->edLiedNr,  ui->edGenre,   ui->edGenre->lineEdit()};
}

bool TMainForm::TagPageDrop(QObject* watched, QEvent* event) {
    if (!TagDropTargets().contains(qobject_cast<QWidget*>(watched))) return false;
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    std::string file;
    for (const QUrl& url : drop->mimeData()->urls())
        if (file.empty() && url.isLocalFile()) file = DroppedPath(url);
    if (file.empty()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    // Opened once the drag is over, as the open button's dialog would.
    if (type == QEvent::Drop) QTimer::singleShot(0, this, [this, file] { OpenTagFile(file); });
    return true;
}

int TMainForm::VisibleGoMode() const {
    QWidget* page = ui->PageControl1->currentWidget();
    if (page == ui->TabSheet1) return ui->PageControl2->currentWidget() == ui->BatchSheet1 ? 2 : 1;
    if (page == ui->TabSheet2) return ui->PageControl3->currentWidget() == ui->BatchSheet2 ? 4 : 3;
    if (page == ui->TabSheet3) return 5;
    return 0;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (TagPageDrop(watched, event)) return true;
    // A list's count stays at the right end of the row beneath it.
    if (event->type() == QEvent::Resize)
        for (const QPointer<QLabel>& count : countLabels_)
            if (count && watched == count->parentWidget())
                count->move(count->parentWidget()->width() - count->width() - 8, count->y());
    // Files dropped from a file manager onto a batch list join it.
    QListWidget* list = watched == ui->FileList->viewport()    ? ui->FileList
                        : watched == ui->FileList2->viewport() ? ui->FileList2
                                                               : nullptr;
    if (list && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (list && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        std::vector<std::string> names;
        for (const QUrl& url : drop->mimeData()->urls()) names.push_back(DroppedPath(url));
        drop->acceptProposedAction();
        // Shown once the drag is over: the file manager waits for the drop.
        QTimer::singleShot(0, this, [this, list, names] { AddToBatchList(list, names); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ueberbtnClick() {
    AboutButton->Release();
    // A fresh box each time, so that its year is always today's.
    TAboutBox box(this);
    box.exec();
}

void TMainForm::EndeBtnClick() {
    ExitButton->Release();
    close();
}

void TMainForm::wwwBtnClick() {
    // A browser that does not start is not worth a message.
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(maker::WebPage)));
}

}  // namespace sondrel
