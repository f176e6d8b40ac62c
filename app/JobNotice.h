// A job that ends while the user is in another program says so: the window
// asks the window manager for attention, and where the desktop offers
// notifications (org.freedesktop.Notifications on the session bus), one
// says what was done. Nothing happens while the window is active.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <set>

class QWidget;

namespace sondrel {

class TJobNotice {
public:
    // Before the job: the clock starts, nothing is counted yet.
    void Begin(int mode, int files);
    // A message shown during the job, for the file in work.
    void Failed(int itemIndex) { failed_.insert(itemIndex); }
    // A message was shown during the job.
    bool AnyFailed() const { return !failed_.empty(); }
    // After the job: tells the user, where the job took longer than a few
    // seconds and another window is active. target is the single file's;
    // itemIndex, for a batch, the files it ended whole.
    void End(QWidget* window, bool cancelled, int itemIndex, const QString& target);

    // What the notification says; empty summary for none.
    QString Summary(bool cancelled, int itemIndex) const;
    QString Body(bool cancelled, int itemIndex, const QString& target) const;

    // The notification itself, over D-Bus; false where no desktop took it.
    static bool Notify(const QString& summary, const QString& body);
    // A job shorter than this (milliseconds) passes without a word.
    qint64 longJobMs = 3000;

private:
    QElapsedTimer clock_;
    int mode_ = 0;
    int files_ = 1;
    std::set<int> failed_;
};

}  // namespace sondrel
