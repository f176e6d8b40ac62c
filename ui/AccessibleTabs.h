// The page tabs as a screen reader meets them. Qt's own tab interface
// (Qt 6.4) calls the current tab of every tab bar focused, so that with
// the window's pages and their single/batch tabs four tabs say "focused"
// wherever the keyboard focus is, and a screen reader announces the wrong
// control. Here a tab is focused only where its bar has the focus and it
// is the current tab; the current tab of each bar is its selected one.
#pragma once

#include <QAccessibleWidget>
#include <QHash>

class QTabBar;

namespace sondrel {

class TAccessibleTabBar : public QAccessibleWidget {
public:
    explicit TAccessibleTabBar(QWidget* w);
    ~TAccessibleTabBar() override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text t) const override;

private:
    QTabBar* bar() const;
    mutable QHash<int, QAccessible::Id> tabs_;
};

}  // namespace sondrel
