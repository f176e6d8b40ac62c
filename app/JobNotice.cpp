#include "app/JobNotice.h"

#include <QApplication>
#include <algorithm>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>
#include <QWidget>

namespace sondrel {

void TJobNotice::Begin(int mode, int files) {
    mode_ = mode;
    files_ = files;
    failed_.clear();
    clock_.start();
}

QString TJobNotice::Summary(bool cancelled, int itemIndex) const {
    const bool batch = mode_ == 2 || mode_ == 4;
    if (cancelled) return QStringLiteral("Konvertierung abgebrochen");
    if (!batch && !failed_.empty()) return QStringLiteral("Konvertierung fehlgeschlagen");
    Q_UNUSED(itemIndex);
    return QStringLiteral("Konvertierung abgeschlossen");
}

QString TJobNotice::Body(bool cancelled, int itemIndex, const QString& target) const {
    if (mode_ != 2 && mode_ != 4) return target;
    // A cancelled batch ended the files it had finished (itemIndex of
    // them, those that failed among them).
    const int done = cancelled ? itemIndex : files_;
    const int failed = std::min(done, static_cast<int>(failed_.size()));
    QString text = QStringLiteral("%1 von %2 Dateien konvertiert").arg(done - failed).arg(files_);
    if (failed > 0) text += QStringLiteral(", %1 fehlgeschlagen").arg(failed);
    return text;
}

void TJobNotice::End(QWidget* window, bool cancelled, int itemIndex, const QString& target) {
    if (!clock_.isValid() || clock_.elapsed() < longJobMs) return;
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) return;
    QApplication::alert(window);
    Notify(Summary(cancelled, itemIndex), Body(cancelled, itemIndex, target));
}

bool TJobNotice::Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Sondrel") << 0u << QStringLiteral("sondrel") << summary << body << QStringList()
         << QVariantMap() << -1;
    // Sent without waiting: a desktop without the service answers with an
    // error nobody needs to hear.
    return bus.send(call);
}

}  // namespace sondrel
