// The progress window: shown modally for every job, it runs the job as soon
// as it is shown, shows the file's and the whole job's progress, turns
// Cancel, Escape and every close request into a cancel request, and closes
// itself 100 ms after the job has returned.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "jobs/JobOwner.h"

namespace sondrel {

class TStatusForm : public QDialog {
    Q_OBJECT
public:
    TStatusForm(TJobOwner& owner, QWidget* parent = nullptr);

    // Shows the window modally and runs the job of the core's job mode in it,
    // exactly once; returns when the window has closed.
    int ExecJob();

    void FormActivate();
    void CancelBtnClick();
    bool FormCloseQuery();
    void Timer1Timer();

signals:
    // Cancel, Escape or a close request while a job runs.
    void cancelRequested();

public:
    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QPushButton* CancelBtn;
    QTimer* Timer1;
    bool MayClose = false;
    // Whether the last job was cancelled (read once it has ended).
    bool JobCancelled = false;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void RunJob();
    void Fail(const QString& text, const QString& detail = {});

    TJobOwner& owner_;
    bool jobArmed_ = false;
    bool jobRunning_ = false;
};

}  // namespace sondrel
