#include "ui/Accessible.h"

#include <QTimer>

#include "ui/ImageButton.h"

namespace sondrel {
namespace {

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (className == QLatin1String("sondrel::TImagePicture")) return new TAccessiblePicture(w);
    if (className == QLatin1String("sondrel::TProgressPanel")) return new TAccessibleProgress(w);
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(Factory);
}

TAccessiblePicture::TAccessiblePicture(QWidget* w) : QAccessibleWidget(w, QAccessible::Button) {}

QAccessible::State TAccessiblePicture::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    const auto* picture = static_cast<const TImagePicture*>(widget());
    s.pressed = !picture->isShown();
    return s;
}

QString TAccessiblePicture::text(QAccessible::Text t) const {
    if (t == QAccessible::Accelerator) return static_cast<const TImagePicture*>(widget())->shortcut().toString();
    return QAccessibleWidget::text(t);
}

QStringList TAccessiblePicture::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (widget()->isEnabled()) names.prepend(pressAction());
    return names;
}

void TAccessiblePicture::doAction(const QString& action) {
    if (action != pressAction() || !widget()->isEnabled()) return QAccessibleWidget::doAction(action);
    // A click may open a modal window that runs until the user closes it;
    // the caller on the accessibility bus must not wait for that.
    auto* picture = static_cast<TImagePicture*>(widget());
    QTimer::singleShot(0, picture, [picture] { picture->press(); });
}

QStringList TAccessiblePicture::keyBindingsForAction(const QString& action) const {
    const QKeySequence key = static_cast<const TImagePicture*>(widget())->shortcut();
    if (action == pressAction() && !key.isEmpty()) return {key.toString()};
    return QAccessibleWidget::keyBindingsForAction(action);
}

void* TAccessibleProgress::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QVariant TAccessibleProgress::currentValue() const { return widget()->property("value").toInt(); }

QString TAccessibleProgress::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return QString::number(currentValue().toInt()) + QStringLiteral(" %");
    return QAccessibleWidget::text(t);
}

}  // namespace sondrel
