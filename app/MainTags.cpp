// The tag editor page: open a file's tag into the seven fields, edit, save.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "app/MainUnit.h"
#include "jobs/Messages.h"
#include "tags/Genres.h"
#include "tags/Id3Tag.h"
#include "tags/PageFields.h"
#include "tags/TagUpdate.h"
#include "ui/FileEdit.h"
#include "ui/FileNames.h"
#include "ui_MainForm.h"

namespace sondrel {

void TMainForm::FillGenreList() {
    for (const char* name : kGenres) ui->edGenre->addItem(QString::fromUtf8(name));
    ui->edGenre->setCurrentIndex(-1);
    ui->edGenre->setEditText(QString());
}

QString TMainForm::PickTagFile(bool save) {
    QFileDialog dialog(this);
    dialog.setObjectName(save ? "MP3SaveDialog" : "Mp3SelectDialog");
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Only the tag of the chosen file is written, never the file
        // replaced: nothing to ask.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    else
        dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(TFileEdit::QtFilter("MP3|*.mp3"));
    // Both start where the last opened tag came from.
    if (!lastTagFile_.isEmpty()) dialog.selectFile(lastTagFile_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

void TMainForm::OpenBtnClick() {
    const QString file = PickTagFile(false);
    if (!file.isEmpty()) FillID3TagInformation(file);
}

void TMainForm::FillID3TagInformation(const QString& fileName) { OpenTagFile(LocalPath(fileName)); }

void TMainForm::OpenTagFile(const std::string& file) {
    TId3Fields f;
    bool id3v2 = false;
    switch (ReadPageFields(file, f, &id3v2)) {
    case TTagResult::CannotOpen: return ShowError(kTagCannotOpen);
    case TTagResult::NoTag: return ShowError(kTagMissing);
    default: break;
    }
    lastTagFile_ = ShownPath(file);
    tagFileHasId3v2_ = id3v2;
    ui->edTitle->setText(QString::fromStdString(f.Title));
    ui->edArtist->setText(QString::fromStdString(f.Artist));
    ui->edAlbum->setText(QString::fromStdString(f.Album));
    ui->edYear->setText(QString::fromStdString(f.Year));
    ui->edGenre->setEditText(QString::fromStdString(f.Genre));
    ui->edComment->setText(QString::fromStdString(f.Comment));
    edCommentChange();  // also when the text did not change
    ui->edLiedNr->setText(QString::fromStdString(f.Track));
}

void TMainForm::SaveBtnClick() {
    const QString file = PickTagFile(true);
    if (!file.isEmpty()) ChangeID3Tag(file);
}

void TMainForm::ChangeID3Tag(const QString& fileName) {
    TId3Fields f;
    f.Title = ui->edTitle->text().toStdString();
    f.Artist = ui->edArtist->text().toStdString();
    f.Album = ui->edAlbum->text().toStdString();
    f.Year = ui->edYear->text().toStdString();
    f.Comment = ui->edComment->text().toStdString();
    f.Track = ui->edLiedNr->text().toStdString();
    f.Genre = ui->edGenre->currentText().toStdString();
    switch (SaveTagFields(LocalPath(fileName), f)) {
    case TTagResult::CannotOpen: return ShowError(kTagCannotOpen);
    case TTagResult::NotSaved: return ShowError(kTagNotSaved);
    case TTagResult::Unreadable: return ShowError(kTagUnreadable);
    default: break;
    }
}

void TMainForm::edCommentChange() {
    const bool hidden = TrackLeftOutOfId3v1(ui->edComment->text().toStdString(), tagFileHasId3v2_);
    ui->trackinfo->setText(hidden ? QString::fromStdString(kTrackWarning) : QString());
}

}  // namespace sondrel
