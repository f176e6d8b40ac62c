#include "app/StatusFUnit.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMessageBox>

#include "jobs/Messages.h"
#include "ui/Artwork.h"
#include "ui/Placement.h"

namespace sondrel {

TStatusForm::TStatusForm(TJobOwner& owner, QWidget* parent) : QDialog(parent), owner_(owner) {
    setObjectName("StatusForm");
    setWindowTitle(QStringLiteral("Status der Konvertierung..."));
    MakeFixedDialog(this, 370, 128);
    setModal(true);
    setFont(art::UiFont());

    auto* banner = new QLabel(QStringLiteral("Konvertieren - Warten oder auf Abbrechen drücken"), this);
    banner->setObjectName("Panel1");
    banner->setGeometry(0, 0, 370, 33);
    art::StyleBanner(banner);

    auto* label1 = new QLabel(QStringLiteral("Aktuelles Lied:"), this);
    label1->setGeometry(8, 40, 86, 17);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(96, 40, 265, 17);
    auto* label2 = new QLabel(QStringLiteral("Gesamt:"), this);
    label2->setGeometry(8, 64, 86, 17);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName("ProgressBar2");
    ProgressBar2->setGeometry(96, 64, 265, 17);
    ProgressBar1->setAccessibleName(label1->text().chopped(1));
    ProgressBar2->setAccessibleName(label2->text().chopped(1));
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    CancelBtn = new QPushButton(art::CancelIcon(), QStringLiteral("A&bbrechen"), this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setGeometry(132, 96, 105, 25);
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &TStatusForm::CancelBtnClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    Timer1->setSingleShot(false);
    // 100 ms, not "about": a coarse timer may take a twentieth longer.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TStatusForm::Timer1Timer);
}

int TStatusForm::ExecJob() {
    // Armed once per Go click: the window manager may show, hide, restore
    // or re-map the window any number of times while the job runs, and none
    // of that may start it again.
    jobArmed_ = true;
    Timer1->stop();
    // A window hidden while minimised keeps that state (openbox minimises
    // this window with the main window, and the job may end before the
    // user restores it): shown so again, the window manager would map it
    // iconic, and its main window with it, at every later job.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    return exec();
}

void TStatusForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Hidden and shown again in its finishing phase (a window manager's
    // restore): the hide stopped the closing tick, which starts again, or
    // the window would stay open over a finished job.
    if (!jobArmed_ && !jobRunning_ && MayClose && !Timer1->isActive()) {
        Timer1->start();
        return;
    }
    if (!jobArmed_ || event->spontaneous()) return;
    // Centred on the desktop, not on the window that started the job.
    CentreOnScreen(this);
    // The job runs as soon as the window is on screen, from the event loop
    // that exec() runs.
    jobArmed_ = false;
    QMetaObject::invokeMethod(this, [this] { FormActivate(); }, Qt::QueuedConnection);
}

void TStatusForm::FormActivate() {
    if (jobRunning_) return;
    jobRunning_ = true;
    MayClose = false;
    RunJob();
    // The closing tick sets the cancel flag too; what the job met is kept.
    JobCancelled = owner_.Core().State.Cancel;
    MayClose = true;
    jobRunning_ = false;
    // Only a window still waiting for its close needs the finishing tick; a
    // tick must never reach the next job.
    if (isVisible()) Timer1->start();
}

void TStatusForm::RunJob() {
    TConverterCore& core = owner_.Core();
    const int mode = core.State.JobMode;
    try {
        if (mode == 2 || mode == 4) {
            const TBatchSettings batch = owner_.JobBatch(mode);
            if (batch.Files.empty()) return Fail(QString::fromStdString(msg::FillList));
            owner_.RunBatch(mode, batch);
            return;
        }
        std::string source, target;
        owner_.JobFileNames(mode, source, target);
        if (source.empty() || target.empty()) return Fail(QString::fromStdString(msg::ChooseFiles));
        switch (mode) {
        case 1:
            owner_.CdQualityChecked() ? core.ConvertMP3CDWAV(source, target) : core.ConvertMP3WAV(source, target);
            break;
        case 3: core.ConvertWAVMP3(source, target); break;
        case 5: core.ConvertWAV2WAV(source, target); break;
        default: break;
        }
    } catch (const std::exception& e) {
        // The routine has closed its files and cleared the busy flag on the
        // way out; what is left is to tell the user that this file failed
        // rather than let the window close as if it had worked.
        Fail(QString::fromStdString(msg::ConversionFailed), QString::fromUtf8(e.what()));
    }
}

void TStatusForm::Fail(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(msg::ErrorCaption), text, QMessageBox::Ok, this);
    if (!detail.isEmpty()) box.setDetailedText(detail);
    box.exec();
}

void TStatusForm::CancelBtnClick() {
    owner_.Core().State.Cancel = true;
    emit cancelRequested();
}

bool TStatusForm::FormCloseQuery() {
    owner_.Core().State.Cancel = true;
    if (!MayClose) emit cancelRequested();
    return MayClose;
}

void TStatusForm::Timer1Timer() {
    Timer1->stop();
    if (FormCloseQuery()) done(1);
}

void TStatusForm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // Closed in its finishing phase by the user rather than by the tick: the
    // tick has nothing left to close. (A minimised window still needs it.)
    if (!event->spontaneous()) Timer1->stop();
}

void TStatusForm::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TStatusForm::reject() {
    // Escape presses Cancel; it never closes the window by itself.
    CancelBtnClick();
}

}  // namespace sondrel
