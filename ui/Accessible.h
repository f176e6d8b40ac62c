// What assistive technology (a screen reader over the accessibility bus)
// sees of the controls we draw ourselves: the picture buttons are push
// buttons with a press action, the progress panel a progress bar with its
// value.
#pragma once

#include <QAccessibleWidget>

namespace sondrel {

// Installs the interfaces below for every such control (picture buttons,
// and widgets whose class is named in progressClasses, which have an int
// property "value", and labels with the property kNotifyingLabel); once,
// at start.
void InstallAccessibleInterfaces();

// A label whose texts are news for the user (a status line): set this
// property true on it, before anything else (its accessible interface is
// made at its first event, and kept).
inline constexpr const char* kNotifyingLabel = "sondrel_notifies";

// A pick-only list (QComboBox) that is read by its name (its label's
// text, "Genre") and has its choice as its value, where Qt's own reads the
// choice as the name on this platform: set this property true on it
// before its accessible name.
inline constexpr const char* kNamedComboBox = "sondrel_named";

class TAccessibleNamedCombo : public QAccessibleWidget {
public:
    explicit TAccessibleNamedCombo(QWidget* w) : QAccessibleWidget(w, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override;
    // Its list of choices, as Qt's own has it.
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;
};

// Such a label: role notification, named by its text. Its text changes
// send name changes (as every label's do); an ObjectShow event for it is
// what makes a screen reader (Orca) speak it, wherever the focus is.
class TAccessibleStatus : public QAccessibleWidget {
public:
    explicit TAccessibleStatus(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override;
};

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
