#pragma once
#include <QList>
#include <QString>

class QMenu;
class QMenuBar;
class QAction;
class CommandTarget;

// A menu as the program's resources describe it: items with their command ids
// and their texts before the language replaces them.
struct MenuItemDef
{
    int id = 0;            // command id; 0 for a sub-menu or a separator
    QString text;
    QList<MenuItemDef> children; // non-empty: a sub-menu
    bool separator = false;
};

// Menu 128, the main window's menu bar.
QList<MenuItemDef> MainMenuResource();
// The first sub-menu of menu 105, the task list's context menu.
QList<MenuItemDef> ListContextMenuResource();

// Fills a menu bar or a popup from a resource. Every command item carries its id
// (data and object name), triggers target->OnCommand(id), and every popup asks the
// target for the enabled and checked state of its items when it drops down.
void BuildMenuBar(QMenuBar *bar, const QList<MenuItemDef> &items, CommandTarget *target);
void BuildMenu(QMenu *menu, const QList<MenuItemDef> &items, CommandTarget *target);
// Finds the action of a command anywhere below a list of actions.
QAction *FindCommandAction(const QList<QAction *> &actions, int id);
