// The batch lists: adding without duplicates, deleting the selection or
// everything, and the target name derived after the source dialog.
#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/MainUnit.h"
#include "jobs/BatchEngine.h"
#include "jobs/Naming.h"
#include "ui/FileEdit.h"
#include "ui_MainForm.h"

namespace sondrel {

void TMainForm::AddFiles(QListWidget* list, const QStringList& files) {
    for (const QString& file : files) {
        bool present = false;
        for (int i = 0; i < list->count() && !present; ++i) present = list->item(i)->text() == file;
        if (!present) list->addItem(file);
    }
}

QStringList TMainForm::BatchFiles(const QStringList& names, bool mp3, QStringList& refused) {
    std::vector<std::string> given, left;
    for (const QString& name : names) given.push_back(name.toStdString());
    QStringList files;
    for (const std::string& f : BatchSources(given, mp3 ? ".mp3" : ".wav", left))
        files << QDir::toNativeSeparators(QFileInfo(QString::fromStdString(f)).absoluteFilePath());
    for (const std::string& r : left) refused << QDir::toNativeSeparators(QString::fromStdString(r));
    return files;
}

void TMainForm::SayRefused(const QStringList& refused) {
    if (refused.isEmpty()) return;
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("Folgende Dateien wurden nicht übernommen: ") + refused.join(QStringLiteral(", ")),
                    QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::AddToBatchList(QListWidget* list, const QStringList& names) {
    // A folder brings the files of the list's kind inside it, in name
    // order; what is neither is named in one message.
    QStringList refused;
    AddFiles(list, BatchFiles(names, list == ui->FileList, refused));
    SayRefused(refused);
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
    list->setFocus(Qt::OtherFocusReason);
}

void TMainForm::DelbtnClick() { DeleteSelected(ui->FileList); }
void TMainForm::DelBtn2Click() { DeleteSelected(ui->FileList2); }
void TMainForm::DelAllBtnClick() { ui->FileList->clear(); }
void TMainForm::DelAllBtn2Click() { ui->FileList2->clear(); }

void TMainForm::InputFileEdAfterDialog(const QString& name, bool) {
    ui->OutputFileEd->setFileName(QString::fromStdString(ReplaceExtension(name.toStdString(), ".wav")));
}

void TMainForm::input2edAfterDialog(const QString& name, bool) {
    ui->output2ed->setFileName(QString::fromStdString(ReplaceExtension(name.toStdString(), ".mp3")));
}

void TMainForm::OpenFiles(const QStringList& files) {
    // As a file manager's "Open with" passes them: files that exist, MP3
    // and WAV by their ending.
    // A folder stands for the MP3 and WAV files inside it, in name order.
    QStringList mp3, wav, accepted, refused;
    for (const QString& file : files) {
        QStringList none;
        const QStringList m = BatchFiles({file}, true, none), w = BatchFiles({file}, false, none);
        if (m.isEmpty() && w.isEmpty()) {
            refused << QDir::toNativeSeparators(file);
            continue;
        }
        mp3 << m;
        wav << w;
        accepted << m << w;
    }
    // The others go in; what was left out is said once, by name.
    SayRefused(refused);
    if (accepted.isEmpty()) return;
    const bool firstIsMp3 = mp3.contains(accepted.first());
    ui->PageControl1->setCurrentWidget(firstIsMp3 ? ui->TabSheet1 : ui->TabSheet2);
    // A folder always means the batch list, even where it holds one file.
    const bool folder = std::any_of(files.begin(), files.end(), [](const QString& f) { return QFileInfo(f).isDir(); });
    if (accepted.size() == 1 && !folder) {
        // One file: the page's source field, its target named as after the
        // file dialog.
        if (firstIsMp3) {
            ui->InputFileEd->setFileName(accepted.first());
            InputFileEdAfterDialog(accepted.first(), true);
            ui->PageControl2->setCurrentWidget(ui->SingleSheet1);
        } else {
            ui->input2ed->setFileName(accepted.first());
            input2edAfterDialog(accepted.first(), true);
            ui->PageControl3->setCurrentWidget(ui->SingleSheet2);
        }
        return;
    }
    AddFiles(ui->FileList, mp3);
    AddFiles(ui->FileList2, wav);
    (firstIsMp3 ? ui->PageControl2 : ui->PageControl3)->setCurrentWidget(firstIsMp3 ? ui->BatchSheet1 : ui->BatchSheet2);
}

}  // namespace sondrel
