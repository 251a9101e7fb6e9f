#pragma once

#include "browser/BrowserServices.h"

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace qv {

class AreaController;
class CommandTable;
class FileListView;
class UndoStack;

// Edit, Undo and Redo: every command the window routes is one step of the undo stack, named
// after it; undo and redo put the area's files back through the store and read the list again.
class UndoController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaController* areas;
        FileListView* list;
    };

    UndoController(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~UndoController() override;

    UndoStack& stack() const { return *m_stack; }
    // The step's name for a command ("Remove of 3 entries"); empty for commands that change
    // nothing.
    QString stepText(const QString& command) const;
    // Runs work as one step named text (drops onto the tree, the list's header).
    void asStep(const QString& text, const std::function<void()>& work);

    void undo();
    void redo();
    // The menu's texts for the present stack.
    void showTexts();

signals:
    void stepsChanged();

private:
    void applied(bool undoing);

    BrowserServices& m_services;
    Parts m_parts;
    std::unique_ptr<UndoStack> m_stack;
};

} // namespace qv
