#pragma once

#include "browser/CommandState.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace qv {

// Every command of the main window, created once from one table: the menu bar, the file list's
// right-button menu "fp" and the toolbar. Each QAction carries its identifier as objectName.
// Toolbar buttons are actions of their own (their captions differ from the menu's) and are routed
// by key to the menu command they stand for.
class CommandTable : public QObject {
    Q_OBJECT
public:
    explicit CommandTable(QWidget* owner);

    void buildMenuBar(QMenuBar* bar);
    void buildToolBar(QToolBar* bar);
    // Ties the keys of board commands to the list and the tree, so that no key typed elsewhere
    // changes the board.
    void scopeShortcuts(QWidget* list, QWidget* tree);

    // A menu bar or right-button menu item (nullptr when no such identifier exists).
    QAction* action(const QString& id) const;
    QMenu* menu(const QString& id) const;
    QAction* toolAction(const QString& key) const;
    QMenu* popupMenu() const { return m_popup; }

    // Enables every menu item, right-button item and toolbar button from the window's state, by
    // the one rule in commandstate; the only place command actions are enabled or disabled.
    void applyState(const WindowState& state);
    const WindowState& state() const { return m_state; }

    // Runs handler for every item of the command (menu bar, right-button menu; toolbar buttons
    // reach it through their menu item).
    void route(const QString& command, QObject* receiver, const std::function<void()>& handler);
    // Runs every routed handler through around(command, handler) (the window's undo steps).
    void setAround(std::function<void(const QString&, const std::function<void()>&)> around)
    {
        m_around = std::move(around);
    }

private:
    QAction* makeAction(const QString& id, const QString& caption, const QString& shortcut);
    void apply(const QString& id);

    QWidget* m_owner;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QAction*> m_tools;
    WindowState m_state;
    QMenu* m_popup = nullptr;
    std::function<void(const QString&, const std::function<void()>&)> m_around;
};

} // namespace qv
