// The window's side of a job: the Go buttons, the progress display and
// what the progress window reads from the pages.
#include <QAccessible>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QMessageBox>
#include <QStatusBar>
#include <filesystem>

#include "app/MainUnit.h"
#include "jobs/Messages.h"
#include "jobs/Naming.h"
#include "ui/FileNames.h"
#include "ui_MainForm.h"

namespace sondrel {

void TMainForm::GoClick(int mode) {
    GoButtons[static_cast<std::size_t>(mode - 1)]->Release();
    if (core_.Running()) return;
    if (!MayReplaceTarget(mode)) return;
    batchAnswer_ = TBatchAnswer::Keep;
    if (mode == 2 || mode == 4) {
        batchAnswer_ = AskAboutBatchTargets(mode);
        if (batchAnswer_ == TBatchAnswer::Cancel) return;
    }
    // The line of the job before is history now.
    ShowStatusText("");
    core_.State.Cancel = false;
    statusForm_->ProgressBar1->setValue(0);
    statusForm_->ProgressBar2->setValue(0);
    core_.State.ItemIndex = 0;
    core_.State.ItemTotal = 1;
    core_.State.JobMode = mode;
    core_.Mp3FormatIndex = ui->mp3format->currentIndex();
    core_.WavFormatIndex = ui->WAVFormats->currentIndex();
    const bool batch = mode == 2 || mode == 4;
    std::string source, target;
    JobFileNames(mode, source, target);
    jobNotice_.Begin(mode, batch ? static_cast<int>(JobBatch(mode).Files.size()) : 1);
    statusForm_->JobCancelled = false;
    statusForm_->ExecJob();
    // What came of it, on the status line (a batch has said it there) and
    // to a screen reader.
    if (!batch && !source.empty() && !target.empty()) {
        const QString summary = jobNotice_.Summary(statusForm_->JobCancelled, core_.State.ItemIndex);
        const bool done = !statusForm_->JobCancelled && !jobNotice_.AnyFailed();
        ShowStatusText((summary + (done ? QStringLiteral(": ") + QFileInfo(ShownPath(target)).fileName() : QString()))
                           .toStdString());
    }
    AnnounceStatus();
    jobNotice_.End(this, statusForm_->JobCancelled, core_.State.ItemIndex, batch ? QString() : ShownPath(target));
}

void TMainForm::AnnounceStatus() {
    if (!QAccessible::isActive() || StatusText->text().isEmpty()) return;
    QAccessibleEvent shown(StatusText, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

bool TMainForm::MayReplaceTarget(int mode) {
    // The target field is filled in from the source's name, so an existing
    // file there (the original WAV of an MP3, say) was often never chosen
    // by the user. Asked once, before anything starts; a name confirmed in
    // the field's own save dialog has been asked about there.
    TFileEdit* field = JobFields(mode).second;
    if (!field || field->replaceConfirmed()) return true;
    std::string source, target;
    JobFileNames(mode, source, target);
    if (source.empty() || target.empty()) return true;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(target, ec) || fs::is_directory(target, ec)) return true;
    // Source and target one file: the conversion refuses that itself.
    if (fs::equivalent(source, target, ec)) return true;
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    QStringLiteral("Die Datei „%1“ existiert bereits. Soll sie überschrieben werden?").arg(ShownPath(target)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

TMainForm::TBatchAnswer TMainForm::AskAboutBatchTargets(int mode) {
    // A folder of MP3s converted back to WAV is where the original WAVs
    // sit: a batch keeps what was there unless the user says otherwise,
    // asked once for the whole list; or the user stops it here.
    TBatchSettings batch = JobBatch(mode);
    if (batch.Files.empty()) return TBatchAnswer::Keep;
    const int existing = ExistingFiles(BatchTargets(batch.Files, mode == 2 ? ".wav" : ".mp3", batch.NextToSource,
                                                    batch.OutputFolder, true, batch.Subfolders));
    if (existing == 0) return TBatchAnswer::Keep;
    const QString text =
        existing == 1
            ? QStringLiteral("Eine der Zieldateien existiert bereits. Soll sie überschrieben werden?")
            : QStringLiteral("%1 der Zieldateien existieren bereits. Sollen sie überschrieben werden?").arg(existing);
    QMessageBox box(QMessageBox::Question, windowTitle(), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    this);
    box.setInformativeText(QStringLiteral("Bei „Nein“ erhalten die neuen Dateien freie Namen wie „Name (2)%1“. "
                                          "„Überspringen“ konvertiert nur, was fehlt oder älter ist als seine "
                                          "Quelle. „Abbrechen“ startet nichts.")
                               .arg(mode == 2 ? QStringLiteral(".wav") : QStringLiteral(".mp3")));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    // A collection run again, or a run stopped part way and taken up again.
    QPushButton* skip = box.addButton(QStringLiteral("Über&springen"), QMessageBox::AcceptRole);
    skip->setAccessibleName(QStringLiteral("Überspringen"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    box.setDefaultButton(QMessageBox::No);
    // Escape and closing the box start nothing.
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (box.clickedButton() == skip) return TBatchAnswer::Skip;
    switch (answer) {
    case QMessageBox::Yes: return TBatchAnswer::Replace;
    case QMessageBox::No: return TBatchAnswer::Keep;
    default: return TBatchAnswer::Cancel;
    }
}

void TMainForm::ShowProgress(int filePercent, int overallPercent) {
    // Called once a chunk, thousands of times a file, and each changed bar
    // repaints at once. A rising value is shown at most every 20 ms (and at
    // 100), with the message pump; a falling one, the start and end of a
    // file, at once.
    pendingFile_ = filePercent;
    pendingOverall_ = overallPercent;
    if (filePercent < DrawnPercent || filePercent == 100 || !progressClock_.isValid() ||
        progressClock_.elapsed() >= 20)
        ApplyProgress();
}

void TMainForm::ApplyProgress() {
    progressClock_.start();
    const int filePercent = pendingFile_, overallPercent = pendingOverall_;
    statusForm_->ProgressBar1->setValue(filePercent);
    statusForm_->ProgressBar2->setValue(overallPercent);
    if (filePercent == DrawnPercent) return;
    if (filePercent < DrawnPercent) {
        // A shorter bar needs the panel cleared first.
        DrawnPercent = filePercent;
        ui->StatusBar1->repaint();
    } else {
        DrawnPercent = filePercent;
        SBarPaintMore();
    }
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(ProgressPanel, DrawnPercent);
        QAccessible::updateAccessibility(&changed);
    }
}

void TMainForm::SBarPaintMore() {
    // A longer bar is drawn over the old one; before the first paint there
    // is no panel area to draw on.
    if (ProgressPanel->PanelRect.isEmpty()) return;
    ProgressPanel->repaint();
}

void TMainForm::ProcessMessages() {
    // Once a chunk would be thousands of times a second for a fast codec;
    // every 20 ms keeps the bars moving and answers Cancel at once, without
    // the event loop costing more than the conversion.
    if (pumpClock_.isValid() && pumpClock_.elapsed() < 20) return;
    pumpClock_.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TMainForm::ShowError(const std::string& text) { ShowError(text, false); }

void TMainForm::ShowError(const std::string& text, bool overMainWindow) {
    jobNotice_.Failed(core_.State.ItemIndex);
    QWidget* parent =
        !overMainWindow && statusForm_ && statusForm_->isVisible() ? static_cast<QWidget*>(statusForm_) : this;
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(msg::ErrorCaption), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

void TMainForm::ShowNotice(const std::string& text) {
    QWidget* parent = statusForm_ && statusForm_->isVisible() ? static_cast<QWidget*>(statusForm_) : this;
    QMessageBox box(QMessageBox::Information, windowTitle(), QString::fromStdString(text), QMessageBox::Ok, parent);
    box.exec();
}

void TMainForm::ShowStatusText(const std::string& text) { ShowStatusText(text, text); }

void TMainForm::ShowStatusText(const std::string& text, const std::string& whole) {
    // The panel is 250 pixels wide; a batch's summary is longer, and names
    // the first files it has to. The whole of it is the tooltip (and what
    // a screen reader reads as its description).
    StatusText->setText(QString::fromStdString(text));
    StatusText->setToolTip(QString::fromStdString(whole));
    StatusText->setAccessibleDescription(whole == text ? QString() : QString::fromStdString(whole));
    // Each page keeps its own line: a failure on one page is no news on
    // another (the tag page would look as if its save had failed).
    const int page = ui->PageControl1->currentIndex();
    if (page >= 0 && page < static_cast<int>(pageStatus_.size()))
        pageStatus_[static_cast<std::size_t>(page)] = {StatusText->text(), StatusText->toolTip()};
}

void TMainForm::PageChanged(int page) {
    if (page < 0 || page >= static_cast<int>(pageStatus_.size())) return;
    const auto& [text, whole] = pageStatus_[static_cast<std::size_t>(page)];
    ShowStatusText(text.toStdString(), whole.toStdString());
}

std::pair<TFileEdit*, TFileEdit*> TMainForm::JobFields(int mode) const {
    const std::pair<TFileEdit*, TFileEdit*> fields[] = {{ui->InputFileEd, ui->OutputFileEd}, {nullptr, nullptr},
                                                        {ui->input2ed, ui->output2ed},       {nullptr, nullptr},
                                                        {ui->input3ed, ui->output3ed}};
    return mode >= 1 && mode <= 5 ? fields[mode - 1] : std::pair<TFileEdit*, TFileEdit*>{};
}

void TMainForm::JobFileNames(int mode, std::string& source, std::string& target) {
    const auto [from, to] = JobFields(mode);
    if (!from) return;
    source = from->filePath();
    target = to->filePath();
}

bool TMainForm::CdQualityChecked() { return ui->cdqualcheck->isChecked(); }

TBatchSettings TMainForm::JobBatch(int mode) {
    TBatchSettings batch;
    ListEntries(mode == 2 ? ui->FileList : ui->FileList2, batch.Files, batch.Subfolders);
    batch.NextToSource = mode == 2 ? ui->QuellCheck->isChecked() : ui->QuellCheck2->isChecked();
    batch.OutputFolder = (mode == 2 ? ui->OutDirectoryEd : ui->OutDirectory2Ed)->filePath();
    batch.CdQuality = ui->cdqual2check->isChecked();
    batch.ReplaceExisting = batchAnswer_ == TBatchAnswer::Replace;
    batch.SkipExisting = batchAnswer_ == TBatchAnswer::Skip;
    return batch;
}

}  // namespace sondrel
