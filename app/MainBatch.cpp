// The batch lists: adding without duplicates, deleting the selection or
// everything, and the target name derived after the source dialog.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include <QDir>
#include <QSet>
#include <QPointer>
#include <QLabel>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/MainUnit.h"
#include "ui/ButtonsXP.h"
#include "jobs/Messages.h"
#include "jobs/SourceTree.h"
#include "jobs/Naming.h"
#include "ui/FileEdit.h"
#include "ui/FileNames.h"
#include "ui_MainForm.h"

namespace sondrel {

namespace {

// A list entry keeps the file's name as the bytes the file system has
// (what the core opens) and, for a file found below a folder given to
// the batch, its place there; it shows the name as well as it can.
constexpr int kPathRole = Qt::UserRole;
constexpr int kSubfolderRole = Qt::UserRole + 1;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Absolute(const std::string& name) {
    std::error_code ec;
    std::string path = std::filesystem::absolute(name, ec).lexically_normal().string();
    if (ec) return name;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

void TMainForm::MakeListControls() {
    // Each batch list takes folders too, by a button of its own beside
    // "Hinzufügen..." (its dialog shows files only), and says how many
    // entries it holds; a long path keeps its file name and loses its
    // middle, so that ".../01 Nacht.wav" and its "(2)" look different.
    struct Page {
        QListWidget* list;
        TBitBtnXP *add, *remove, *all;
        QWidget* bottom;
        QPointer<QLabel>* count;
    };
    const Page pages[] = {{ui->FileList, ui->AddBtn, ui->Delbtn, ui->DelAllBtn, ui->BatchBottom1, &countLabels_[0]},
                          {ui->FileList2, ui->AddBtn2, ui->DelBtn2, ui->DelAllBtn2, ui->BatchBottom2, &countLabels_[1]}};
    for (const Page& page : pages) {
        auto* folder = new TBitBtnXP(page.add->parentWidget());
        folder->setObjectName(page.list == ui->FileList ? "AddFolderBtn" : "AddFolderBtn2");
        folder->setText(QStringLiteral("Ordner..."));
        folder->setAccessibleName(QStringLiteral("Ordner hinzufügen"));
        folder->setToolTip(QStringLiteral("Einen Ordner mit seinem ganzen Baum hinzufügen"));
        folder->SetGlyph(glyphs::Open());
        int y = 2;
        for (QWidget* button : {static_cast<QWidget*>(page.add), static_cast<QWidget*>(folder),
                                static_cast<QWidget*>(page.remove), static_cast<QWidget*>(page.all)}) {
            button->setGeometry(8, y, 97, 25);
            y += 26;
        }
        QWidget::setTabOrder(page.add, folder);
        QWidget::setTabOrder(folder, page.remove);
        QListWidget* list = page.list;
        connect(folder, &QPushButton::clicked, this, [this, list] { AddFolderFromDialog(list); });
        list->setTextElideMode(Qt::ElideMiddle);
        auto* count = new QLabel(page.bottom);
        count->setObjectName(page.list == ui->FileList ? "ListCount" : "ListCount2");
        count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count->setGeometry(page.bottom->width() - 178, 42, 170, 17);
        *page.count = count;
        page.bottom->installEventFilter(this);
        const auto update = [list, count] {
            const int n = list->count();
            const QString text = n == 0 ? QString() : n == 1 ? QStringLiteral("1 Eintrag")
                                                             : QStringLiteral("%1 Einträge").arg(QString::fromStdString(msg::Count(n)));
            count->setText(text);
            list->setAccessibleDescription(text);
        };
        for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(list->model(), signal, this, update);
        connect(list->model(), &QAbstractItemModel::modelReset, this, update);
    }
}

void TMainForm::AddFiles(QListWidget* list, const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(LocalPath(f));
    AddEntries(list, paths, {});
}

void TMainForm::AddEntries(QListWidget* list, const std::vector<std::string>& files,
                           const std::vector<std::string>& subfolders) {
    // Thousands at once (a collection's tree): a set finds the ones there
    // already, and the list repaints once, at the end.
    QSet<QByteArray> present;
    present.reserve(list->count() + static_cast<int>(files.size()));
    for (int i = 0; i < list->count(); ++i) present.insert(list->item(i)->data(kPathRole).toByteArray());
    list->setUpdatesEnabled(false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const QByteArray path = QByteArray::fromStdString(files[i]);
        if (present.contains(path)) continue;
        present.insert(path);
        auto* item = new QListWidgetItem(ShownPath(files[i]));
        item->setData(kPathRole, path);
        if (i < subfolders.size() && !subfolders[i].empty())
            item->setData(kSubfolderRole, QByteArray::fromStdString(subfolders[i]));
        list->addItem(item);
    }
    list->setUpdatesEnabled(true);
}

void TMainForm::ListEntries(QListWidget* list, std::vector<std::string>& files, std::vector<std::string>& subfolders) {
    files.clear();
    subfolders.clear();
    for (int i = 0; i < list->count(); ++i) {
        files.push_back(list->item(i)->data(kPathRole).toByteArray().toStdString());
        subfolders.push_back(list->item(i)->data(kSubfolderRole).toByteArray().toStdString());
    }
}

TBatchListing TMainForm::Listing(const std::vector<std::string>& names, const std::vector<std::string>& extensions) {
    std::vector<std::string> absolute;
    for (const std::string& name : names) absolute.push_back(Absolute(name));
    TBatchListing listing = ListBatchSources(absolute, extensions, true);
    // Refused names as they were given.
    for (std::string& refused : listing.Refused)
        for (std::size_t i = 0; i < names.size(); ++i)
            if (absolute[i] == refused) refused = names[i];
    return listing;
}

void TMainForm::SayLeftOut(const TBatchListing& listing) {
    bool serious = false;
    const std::string text = LeftOutMessage(listing, serious);
    if (text.empty()) return;
    if (!serious) {
        // Files of other kinds beside the music (covers, playlists) are no
        // fault: the status line counts them.
        ShowStatusText(text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, windowTitle(), ShownPath(text), QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::AddToBatchList(QListWidget* list, const std::vector<std::string>& names) {
    // A folder brings the files of the list's kind in its whole tree; what
    // was left out is said in one message.
    const TBatchListing listing = Listing(names, {list == ui->FileList ? ".mp3" : ".wav"});
    AddEntries(list, listing.Files, listing.Subfolders);
    SayLeftOut(listing);
}

void TMainForm::AddFilesFromDialog(QListWidget* list, bool mp3) {
    QFileDialog dialog(this);
    dialog.setObjectName(mp3 ? "Mp3SelectDialog" : "WavSelectDialog");
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(TFileEdit::QtFilter(mp3 ? "MP3|*.mp3" : "WAV|*.wav"));
    if (dialog.exec() != QDialog::Accepted) return;
    QStringList files;
    for (const QString& f : dialog.selectedFiles()) files << QDir::toNativeSeparators(f);
    AddFiles(list, files);
}

void TMainForm::AddFolderFromDialog(QListWidget* list) {
    QFileDialog dialog(this);
    dialog.setObjectName("FolderSelectDialog");
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowTitle(QStringLiteral("Ordner hinzufügen"));
    if (dialog.exec() != QDialog::Accepted) return;
    std::vector<std::string> folders;
    for (const QString& f : dialog.selectedFiles()) folders.push_back(LocalPath(QDir::toNativeSeparators(f)));
    AddToBatchList(list, folders);
}

void TMainForm::AddBtnClick() { AddFilesFromDialog(ui->FileList, true); }
void TMainForm::AddBtn2Click() { AddFilesFromDialog(ui->FileList2, false); }

void TMainForm::DeleteSelected(QListWidget* list) {
    int first = -1;
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->item(i)->isSelected()) {
            delete list->takeItem(i);
            first = i;
        }
    if (first < 0) return;
    // The focus stays in the list, on the entry that took the first removed
    // one's place: "Löschen" goes grey now, and the focus falling on to
    // "Alle löschen" would make a second key press empty the list.
    // (Current, not selected: what goes is what the user selects.)
    if (list->count() > 0) list->setCurrentRow(std::min(first, list->count() - 1), QItemSelectionModel::NoUpdate);
    // Among thousands, where the user was stays in view.
    if (list->currentItem()) list->scrollToItem(list->currentItem());
    list->setFocus(Qt::OtherFocusReason);
}

void TMainForm::DelbtnClick() { DeleteSelected(ui->FileList); }
void TMainForm::DelBtn2Click() { DeleteSelected(ui->FileList2); }
void TMainForm::DelAllBtnClick() { ui->FileList->clear(); }
void TMainForm::DelAllBtn2Click() { ui->FileList2->clear(); }

// The target's name is made from the source's bytes, so that a name that is
// no UTF-8 keeps its letters.
void TMainForm::InputFileEdAfterDialog(const QString& name, bool) {
    const std::string source = name == ui->InputFileEd->fileName() ? ui->InputFileEd->filePath() : LocalPath(name);
    ui->OutputFileEd->setFilePath(ReplaceExtension(source, ".wav"));
}

void TMainForm::input2edAfterDialog(const QString& name, bool) {
    const std::string source = name == ui->input2ed->fileName() ? ui->input2ed->filePath() : LocalPath(name);
    ui->output2ed->setFilePath(ReplaceExtension(source, ".mp3"));
}

void TMainForm::OpenFiles(const QStringList& files) {
    std::vector<std::string> names;
    for (const QString& f : files) names.push_back(LocalPath(f));
    OpenFiles(names);
}

void TMainForm::OpenFiles(const std::vector<std::string>& names) {
    // As a file manager's "Open with" passes them: files that exist, MP3
    // and WAV by their ending; a folder stands for the MP3 and WAV files in
    // its tree. The others go in; what was left out is said once.
    const TBatchListing listing = Listing(names, {".mp3", ".wav"});
    SayLeftOut(listing);
    if (listing.Files.empty()) return;
    std::vector<std::string> mp3, mp3Folders, wav, wavFolders;
    for (std::size_t i = 0; i < listing.Files.size(); ++i) {
        const bool isMp3 = Lower(Extension(listing.Files[i])) == ".mp3";
        (isMp3 ? mp3 : wav).push_back(listing.Files[i]);
        (isMp3 ? mp3Folders : wavFolders).push_back(listing.Subfolders[i]);
    }
    const bool firstIsMp3 = !mp3.empty() && mp3.front() == listing.Files.front();
    ui->PageControl1->setCurrentWidget(firstIsMp3 ? ui->TabSheet1 : ui->TabSheet2);
    // A folder always means the batch list, even where it holds one file.
    std::error_code ec;
    const bool folder = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& n) { return std::filesystem::is_directory(n, ec); });
    if (listing.Files.size() == 1 && !folder) {
        // One file: the page's source field, its target named as after the
        // file dialog.
        TFileEdit* field = firstIsMp3 ? ui->InputFileEd : ui->input2ed;
        field->setFilePath(listing.Files.front());
        if (firstIsMp3) {
            InputFileEdAfterDialog(field->fileName(), true);
            ui->PageControl2->setCurrentWidget(ui->SingleSheet1);
        } else {
            input2edAfterDialog(field->fileName(), true);
            ui->PageControl3->setCurrentWidget(ui->SingleSheet2);
        }
        return;
    }
    AddEntries(ui->FileList, mp3, mp3Folders);
    AddEntries(ui->FileList2, wav, wavFolders);
    (firstIsMp3 ? ui->PageControl2 : ui->PageControl3)->setCurrentWidget(firstIsMp3 ? ui->BatchSheet1 : ui->BatchSheet2);
}

}  // namespace sondrel
