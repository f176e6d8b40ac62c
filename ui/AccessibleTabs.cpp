#include "ui/AccessibleTabs.h"

#include <QPointer>
#include <QTabBar>
#include <QWindow>

namespace sondrel {
namespace {

// One tab: a child of its bar's interface, without a widget of its own.
class TAccessibleTab : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TAccessibleTab(QTabBar* bar, int index) : bar_(bar), index_(index) {}

    bool isValid() const override { return bar_ && index_ < bar_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name) {
            QString name = bar_->tabText(index_);
            return name.remove(QLatin1Char('&'));
        }
        if (t == QAccessible::Description) return bar_->tabToolTip(index_);
        return {};
    }
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = bar_->tabRect(index_);
        return QRect(bar_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = bar_->currentIndex() == index_;
        s.selectable = s.focusable = true;
        s.selected = current;
        // Focused only where the keyboard focus really is.
        s.focused = current && bar_->hasFocus();
        s.disabled = !bar_->isTabEnabled(index_);
        s.invisible = !bar_->isTabVisible(index_) || !bar_->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid()) bar_->setCurrentIndex(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTabBar> bar_;
    int index_;
};

}  // namespace

TAccessibleTabBar::TAccessibleTabBar(QWidget* w) : QAccessibleWidget(w, QAccessible::PageTabList) {}

TAccessibleTabBar::~TAccessibleTabBar() {
    for (const QAccessible::Id id : std::as_const(tabs_)) QAccessible::deleteAccessibleInterface(id);
}

QTabBar* TAccessibleTabBar::bar() const { return static_cast<QTabBar*>(widget()); }

int TAccessibleTabBar::childCount() const { return bar()->count(); }

QAccessibleInterface* TAccessibleTabBar::child(int index) const {
    if (index < 0 || index >= bar()->count()) return nullptr;
    if (const auto it = tabs_.constFind(index); it != tabs_.constEnd()) return QAccessible::accessibleInterface(*it);
    auto* tab = new TAccessibleTab(bar(), index);
    tabs_.insert(index, QAccessible::registerAccessibleInterface(tab));
    return tab;
}

int TAccessibleTabBar::indexOfChild(const QAccessibleInterface* child) const {
    for (auto it = tabs_.constBegin(); it != tabs_.constEnd(); ++it)
        if (QAccessible::accessibleInterface(it.value()) == child) return it.key();
    return -1;
}

QString TAccessibleTabBar::text(QAccessible::Text t) const {
    // Named by its current tab, as Qt's own bar is.
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        QString name = bar()->tabText(bar()->currentIndex());
        return name.remove(QLatin1Char('&'));
    }
    return QAccessibleWidget::text(t);
}

}  // namespace sondrel
