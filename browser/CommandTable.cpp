#include "browser/CommandTable.h"

#include "browser/CommandState.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <initializer_list>
#include <vector>

namespace qv {

namespace {

// depth 0 = a menu of the menu bar (or the right-button menu), deeper rows belong to the
// nearest shallower row above them. A row without an identifier is a separator.
struct Row {
    int depth;
    const char* id;
    const char* caption;
    const char* shortcut;
};

const std::vector<Row> kMenuBar = {
    { 0, "file", "&File", "" },
    { 1, "open", "&Open", "" },
    { 1, "dasf", "&Add", "" },
    { 2, "adopt", "&File(s)...", "Ctrl+I" },
    { 2, "icom", "&Comment", "Shift+Insert" },
    { 1, "remov", "&Remove", "Delete" },
    { 1, "update", "&Update", "Ctrl+U" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "fbbs", "Export FILES.BBS...", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "explore", "E&xplore Directory...", "Ctrl+D" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "pref", "&Preferences...", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "exit", "&Exit", "Ctrl+Q" },
    { 0, "ee", "&Edit", "" },
    { 1, "undo", "&Undo", "Ctrl+Z" },
    { 1, "redo", "&Redo", "Ctrl+Shift+Z" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "eddesc", "&Edit Description...", "F2" },
    { 1, "xdesc", "E&xtract Description", "" },
    { 1, "mnuGlobDesc", "&Global Description...", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "cut", "Cu&t", "Ctrl+X" },
    { 1, "copy", "&Copy", "Ctrl+C" },
    { 1, "paste", "&Paste", "Ctrl+V" },
    { 1, "selall", "Select &All", "Ctrl+A" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "dcopy", "&Direct Copy...", "Ctrl+J" },
    // Ctrl+A selects, as everywhere on the desktop; a move wants a key nobody presses by habit.
    { 1, "dmove", "Direct &Move...", "Ctrl+Shift+J" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "SelSort", "&Sort Selection...", "Ctrl+S" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "ffind", "&Find...", "Ctrl+F" },
    { 0, "vv", "&View", "" },
    { 1, "intclip", "Internal &Clipboard...", "Ctrl+B" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "ViewList", "&List", "" },
    { 1, "ViewDetails", "&Details", "" },
    { 1, "mnuDispLFN", "&Long Filenames", "Ctrl+L" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "AExp", "Area&Explorer", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "ao", "Arealist &Properties", "" },
    { 2, "alph", "&Alphabetic Order", "Ctrl+O" },
    { 2, "num", "&Numeric Order", "Ctrl+N" },
    { 1, "props", "&File Properties...", "F4" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "df", "&Description Font...", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "refr", "&Refresh", "F5" },
    { 0, "tools", "&Tools", "" },
    { 1, "importbbs", "Import FILES.BBS...", "" },
    { 1, "filelist", "Make File List...", "" },
    { 1, "dupes", "Find Duplicates...", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "clean", "Clean Areas...", "" },
    { 1, "packdesc", "Pack Descriptions...", "" },
    { 1, "repair", "Check and Repair...", "" },
    { 0, "hh", "&Help", "" },
    { 1, "contents", "&Contents", "F1" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "about", "&About QRVX...", "" },
};

const std::vector<Row> kPopup = {
    { 0, "fp", "Fileprops", "" },
    { 1, "mnuFileopen", "&Open", "" },
    { 1, "RmView", "&View", "" },
    { 2, "RmViewList", "&List", "" },
    { 2, "RmViewDetails", "&Details", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "adsf", "&Add", "" },
    { 2, "addfile", "&File(s)...", "" },
    { 2, "icom2", "&Comment", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "filecut", "Cu&t", "" },
    { 1, "filecop", "&Copy", "" },
    { 1, "fpaste", "&Paste", "" },
    { 2, "filepaste", "&Behind Current File", "" },
    { 2, "behall", "Behind &All Files", "" },
    { 1, "filedelete", "Re&move", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "dc", "&Direct Copy", "" },
    { 1, "dm", "Direct &Move", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "ExDesc", "&Extract Description", "" },
    { 1, "Sortsel", "&Sort...", "" },
    { 1, "udate", "&Update", "" },
    { 1, nullptr, nullptr, nullptr },
    { 1, "prop", "P&roperties", "" },
};

struct Tool {
    const char* key; // nullptr: separator
    const char* caption;
    const char* tooltip;
    const char* routesTo; // the menu command the button stands for
    QStyle::StandardPixmap icon;
};

const std::vector<Tool> kToolBar = {
    { "insert", "New", "Insert New File", "adopt", QStyle::SP_FileIcon },
    { "props", " Properties ", "Properties", "props", QStyle::SP_FileDialogDetailedView },
    { "del", " Remove ", "Remove File", "remov", QStyle::SP_TrashIcon },
    { nullptr, nullptr, nullptr, nullptr, QStyle::SP_CustomBase },
    { "findfile", "Find", "Find Files", "ffind", QStyle::SP_FileDialogContentsView },
    { "namesort", "Sort A-Z", "Sort Area's by name", "alph", QStyle::SP_ArrowDown },
    { "numsort", "Sort 1-9", "Sort Area's by number", "num", QStyle::SP_ArrowUp },
    { nullptr, nullptr, nullptr, nullptr, QStyle::SP_CustomBase },
    { "reread", "Refresh", "Refresh Area", "refr", QStyle::SP_BrowserReload },
    { nullptr, nullptr, nullptr, nullptr, QStyle::SP_CustomBase },
    { "explore", "Explore", "Explore Area's Path", "explore", QStyle::SP_DirOpenIcon },
};

// Keys of commands that change the board or take rows count only while the list (or the tree)
// has the focus; anywhere else, in a text box above all, the key is the widget's own.
const char* const kListOrTreeKeys[]
    = { "adopt", "icom", "remov", "update", "eddesc", "dcopy", "dmove", "SelSort", "props", "selall", "undo", "redo" };
// Cut, Copy and Paste take rows only from the list itself.
const char* const kListKeys[] = { "cut", "copy", "paste" };

const char* const kCheckable[]
    = { "ViewList", "ViewDetails", "RmViewList", "RmViewDetails", "mnuDispLFN", "AExp", "alph", "num" };

} // namespace

CommandTable::CommandTable(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
{
    auto build = [this](const std::vector<Row>& rows, bool inMenuBar) {
        std::vector<QMenu*> stack;
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            stack.resize(size_t(row.depth));
            if (!row.id) {
                stack.back()->addSeparator();
                continue;
            }
            const bool isMenu = i + 1 < rows.size() && rows[i + 1].depth > row.depth;
            if (isMenu) {
                auto* menu = new QMenu(QString::fromLatin1(row.caption), m_owner);
                menu->setObjectName(QString::fromLatin1(row.id));
                menu->menuAction()->setObjectName(QString::fromLatin1(row.id));
                m_menus.insert(menu->objectName(), menu);
                m_actions.insert(menu->objectName(), menu->menuAction());
                apply(menu->objectName());
                if (!stack.empty())
                    stack.back()->addMenu(menu);
                else if (!inMenuBar)
                    m_popup = menu;
                stack.push_back(menu);
            } else {
                stack.back()->addAction(makeAction(
                    QString::fromLatin1(row.id), QString::fromLatin1(row.caption), QString::fromLatin1(row.shortcut)));
            }
        }
    };
    build(kMenuBar, true);
    build(kPopup, false);

    for (const char* id : kCheckable)
        m_actions.value(QString::fromLatin1(id))->setCheckable(true);
    auto exclusive = [this](const char* a, const char* b) {
        auto* group = new QActionGroup(this);
        group->addAction(m_actions.value(QString::fromLatin1(a)));
        group->addAction(m_actions.value(QString::fromLatin1(b)));
    };
    exclusive("ViewList", "ViewDetails");
    exclusive("RmViewList", "RmViewDetails");
    exclusive("alph", "num");
    // The desktop's keys for undo and redo, and Ctrl+Y, which many editors use for redo.
    // A key twice in one list would be an ambiguous shortcut that triggers nothing.
    // The first key is the one the menu shows.
    auto keys = [](QKeySequence::StandardKey standard, std::initializer_list<const char*> first) {
        QList<QKeySequence> list;
        for (const char* k : first)
            list.append(QKeySequence(QString::fromLatin1(k)));
        for (const QKeySequence& k : QKeySequence::keyBindings(standard))
            if (!list.contains(k))
                list.append(k);
        return list;
    };
    m_actions.value(QStringLiteral("undo"))->setShortcuts(keys(QKeySequence::Undo, { "Ctrl+Z" }));
    m_actions.value(QStringLiteral("redo"))->setShortcuts(keys(QKeySequence::Redo, { "Ctrl+Shift+Z", "Ctrl+Y" }));

    auto* sortPair = new QActionGroup(this);
    QStyle* style = QApplication::style();
    for (const Tool& tool : kToolBar) {
        if (!tool.key)
            continue;
        auto* a = new QAction(style->standardIcon(tool.icon), QString::fromLatin1(tool.caption), m_owner);
        a->setObjectName(QString::fromLatin1(tool.key));
        a->setToolTip(QString::fromLatin1(tool.tooltip));
        a->setIconText(QString::fromLatin1(tool.caption));
        m_tools.insert(a->objectName(), a);
        QAction* target = m_actions.value(QString::fromLatin1(tool.routesTo));
        if (a->objectName() == "namesort" || a->objectName() == "numsort") {
            a->setCheckable(true);
            sortPair->addAction(a);
        }
        connect(a, &QAction::triggered, target, [target] {
            if (target->isEnabled())
                target->trigger();
        });
        apply(a->objectName());
    }
}

QAction* CommandTable::makeAction(const QString& id, const QString& caption, const QString& shortcut)
{
    auto* a = new QAction(caption, m_owner);
    a->setObjectName(id);
    if (!shortcut.isEmpty())
        a->setShortcut(QKeySequence(shortcut));
    m_actions.insert(id, a);
    apply(id);
    return a;
}

void CommandTable::scopeShortcuts(QWidget* list, QWidget* tree)
{
    auto scope = [this](const char* id, std::initializer_list<QWidget*> widgets) {
        QAction* a = m_actions.value(QString::fromLatin1(id));
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        for (QWidget* w : widgets)
            w->addAction(a);
    };
    for (const char* id : kListOrTreeKeys)
        scope(id, { list, tree });
    for (const char* id : kListKeys)
        scope(id, { list });
}

void CommandTable::buildMenuBar(QMenuBar* bar)
{
    for (const Row& row : kMenuBar) {
        if (row.depth != 0)
            continue;
        QMenu* menu = m_menus.value(QString::fromLatin1(row.id));
        if (menu->objectName() != QLatin1String("hh")) {
            bar->addMenu(menu);
            continue;
        }
        // Help sits at the right end of the bar; the styles used here do not right-align a
        // menu by themselves, so it gets a bar of its own in the bar's corner.
        auto* corner = new QMenuBar(bar);
        corner->setObjectName("hhBar");
        corner->addMenu(menu);
        bar->setCornerWidget(corner, Qt::TopRightCorner);
    }
}

void CommandTable::buildToolBar(QToolBar* bar)
{
    for (const Tool& tool : kToolBar) {
        if (!tool.key) {
            bar->addSeparator();
            continue;
        }
        QAction* a = m_tools.value(QString::fromLatin1(tool.key));
        bar->addAction(a);
        if (QWidget* button = bar->widgetForAction(a))
            button->setObjectName(a->objectName());
    }
}

QAction* CommandTable::action(const QString& id) const
{
    return m_actions.value(id);
}
QMenu* CommandTable::menu(const QString& id) const
{
    return m_menus.value(id);
}
QAction* CommandTable::toolAction(const QString& key) const
{
    return m_tools.value(key);
}

void CommandTable::applyState(const WindowState& state)
{
    m_state = state;
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        apply(it.key());
    for (auto it = m_tools.cbegin(); it != m_tools.cend(); ++it)
        apply(it.key());
}

void CommandTable::route(const QString& command, QObject* receiver, const std::function<void()>& handler)
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        if (commandstate::commandOf(it.key()) == command && !m_menus.contains(it.key()))
            connect(it.value(), &QAction::triggered, receiver, [this, command, handler] {
                if (m_around)
                    m_around(command, handler);
                else
                    handler();
            });
}

void CommandTable::apply(const QString& id)
{
    const bool on = commandstate::isEnabled(commandstate::commandOf(id), m_state);
    if (QAction* a = m_actions.value(id))
        a->setEnabled(on);
    if (QAction* t = m_tools.value(id))
        t->setEnabled(on);
}

} // namespace qv
