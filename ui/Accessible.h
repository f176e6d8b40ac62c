// What assistive technology (a screen reader over the accessibility bus)
// sees of the controls we draw ourselves: the picture buttons are push
// buttons with a press action, the progress panel a progress bar with its
// value.
#pragma once

#include <QAccessibleWidget>

namespace sondrel {

// Installs the interfaces below for every such control (picture buttons,
// and widgets whose class is named in progressClasses, which have an int
// property "value"); once, at start.
void InstallAccessibleInterfaces();

// A picture button: role push button, a press action that clicks as the
// mouse and the keyboard do (the same handler, so the same busy guard),
// and returns at once (whatever the click opens opens after the call), its
// states (focused, pressed, enabled), and its keyboard shortcut.
class TAccessiblePicture : public QAccessibleWidget {
public:
    explicit TAccessiblePicture(QWidget* w);
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;
    QStringList keyBindingsForAction(const QString& action) const override;
};

// A drawn progress display: role progress bar, its value (the widget's
// "value" property) from 0 to 100, read as "N %".
class TAccessibleProgress : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TAccessibleProgress(QWidget* w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}
    void* interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

}  // namespace sondrel
