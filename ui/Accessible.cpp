#include "ui/Accessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "ui/AccessibleTabs.h"
#include "ui/ImageButton.h"

namespace sondrel {
namespace {

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (className == QLatin1String("sondrel::TImagePicture")) return new TAccessiblePicture(w);
    if (className == QLatin1String("sondrel::TProgressPanel")) return new TAccessibleProgress(w);
    if (className == QLatin1String("QLabel") && w->property(kNotifyingLabel).toBool()) return new TAccessibleStatus(w);
    if (className == QLatin1String("QComboBox") && w->property(kNamedComboBox).toBool())
        return new TAccessibleNamedCombo(w);
    if (className == QLatin1String("QTabBar")) return new TAccessibleTabBar(w);
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(Factory);
}

QString TAccessibleNamedCombo::text(QAccessible::Text t) const {
    const auto* box = static_cast<const QComboBox*>(widget());
    if (t == QAccessible::Value) return box->currentText();
    if (t == QAccessible::Name && !box->accessibleName().isEmpty()) return box->accessibleName();
    return QAccessibleWidget::text(t == QAccessible::Name ? QAccessible::Value : t);
}

int TAccessibleNamedCombo::childCount() const { return 1; }

QAccessibleInterface* TAccessibleNamedCombo::child(int index) const {
    return index == 0 ? QAccessible::queryAccessibleInterface(static_cast<const QComboBox*>(widget())->view()) : nullptr;
}

int TAccessibleNamedCombo::indexOfChild(const QAccessibleInterface* child) const {
    return child && child->object() == static_cast<const QComboBox*>(widget())->view() ? 0 : -1;
}

QStringList TAccessibleNamedCombo::actionNames() const {
    return {QAccessibleActionInterface::showMenuAction(), QAccessibleActionInterface::pressAction()};
}

void TAccessibleNamedCombo::doAction(const QString& action) {
    if (action != QAccessibleActionInterface::showMenuAction() && action != QAccessibleActionInterface::pressAction())
        return;
    // After the call returns, as a click's effect would come.
    auto* box = static_cast<QComboBox*>(widget());
    QTimer::singleShot(0, box, [box] { box->showPopup(); });
}

QString TAccessibleStatus::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) return static_cast<const QLabel*>(widget())->text();
    return QAccessibleWidget::text(t);
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
