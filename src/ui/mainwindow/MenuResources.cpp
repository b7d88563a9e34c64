#include "ui/mainwindow/MenuResources.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/mainwindow/CommandTarget.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/ControlId.h"

namespace {
MenuItemDef item(int id, const char *text)
{
    return {id, QString::fromUtf8(text), {}, false};
}
MenuItemDef popup(const char *text, QList<MenuItemDef> children)
{
    return {0, QString::fromUtf8(text), std::move(children), false};
}
MenuItemDef separator()
{
    return {0, {}, {}, true};
}

void updateStates(QMenu *menu, CommandTarget *target)
{
    for (QAction *a : menu->actions()) {
        if (a->isSeparator() || a->menu())
            continue;
        const CommandTarget::State s = target->QueryCommand(a->data().toInt());
        a->setEnabled(s.enabled);
        a->setCheckable(s.checkable);
        if (s.checkable)
            a->setChecked(s.checked);
    }
}

void fill(QWidget *owner, QMenu *menu, QMenuBar *bar, const QList<MenuItemDef> &items, CommandTarget *target)
{
    for (const MenuItemDef &def : items) {
        if (def.separator) {
            if (menu)
                menu->addSeparator();
            continue;
        }
        if (!def.children.isEmpty()) {
            QMenu *sub = bar ? bar->addMenu(def.text) : menu->addMenu(def.text);
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, target] { updateStates(sub, target); });
            fill(owner, sub, nullptr, def.children, target);
            continue;
        }
        QAction *a = bar ? bar->addAction(def.text) : menu->addAction(def.text);
        a->setData(def.id);
        SetControlId(a, def.id);
        const int id = def.id;
        QObject::connect(a, &QAction::triggered, owner, [target, id] { target->OnCommand(id); });
    }
}
} // namespace

QList<MenuItemDef> MainMenuResource()
{
    return {
        popup("&File", {item(Ids::AddFile, "&Add File"), separator(), item(Ids::FileOpen, "&Open Task..."),
                        item(Ids::SaveTask, "&Save Task"),
                        item(Ids::Options, "&Options"), separator(), item(Ids::Exit, "E&xit")}),
        popup("&Edit", {item(Ids::SelectAll, "&Select All"), item(Ids::Delete, "&Delete"),
                        item(Ids::RemoveCompleted, "Remove &Completed"), separator(), item(Ids::Play, "&Play"),
                        item(Ids::TaskInfo, "&Task Info"), separator(), item(Ids::ConvertAll, "Convert &All"),
                        item(Ids::ConvertSelected, "Convert &Selected"), item(Ids::StopConvert, "S&top Converting"),
                        item(Ids::PauseConvert, "P&ause Converting")}),
        popup("&View",
              {item(Ids::Property, "&Property"), separator(),
               popup("&Set Language",
                     {item(Ids::LangEnglish, "&English"), item(Ids::LangChineseSimplified, "&Chinese(Simplified)"),
                      item(Ids::LangChineseTraditional, "Chinese(&Traditional)"), item(Ids::LangJapan, "&Japan"),
                      item(Ids::LangGerman, "&German"), item(Ids::LangFrench, "&French"),
                      item(Ids::LangSpanish, "&Spanish")}),
               popup("&Application Look",
                     {item(Ids::LookOffice2000, "Office &2000"), item(Ids::LookOfficeXP, "Office &XP"),
                      item(Ids::LookOffice2003, "Office 200&3"), separator(), item(Ids::LookBlue, "&Blue Style"),
                      item(Ids::LookBlack, "B&lack Style"), item(Ids::LookSilver, "&Silver Style"),
                      item(Ids::LookAqua, "&Aqua Style")}),
               separator(), item(Ids::ViewPreview, "View Preview")}),
        popup("&Help", {item(Ids::Contents, "&Contents"), item(Ids::Feedback, "&Feedback"), separator(),
                        item(Ids::About, "&About Corvane Studio")}),
    };
}

QList<MenuItemDef> ListContextMenuResource()
{
    return {
        item(Ids::AddFile, "&Add file"),
        separator(),
        item(Ids::Delete, "&Delete "),
        item(Ids::TaskInfo, "&Personal Set"),
        separator(),
        item(Ids::Play, "&Play"),
        item(Ids::PlayConverted, "Play Converted File"),
        item(Ids::OpenConvertedFolder, "&Open Converted Files Folder "),
        item(Ids::AddConvertedAsTasks, "Convert Converted Files Again"),
        separator(),
        item(Ids::Property, "Propert&y"),
    };
}

void BuildMenuBar(QMenuBar *bar, const QList<MenuItemDef> &items, CommandTarget *target)
{
    fill(bar, nullptr, bar, items, target);
}

void BuildMenu(QMenu *menu, const QList<MenuItemDef> &items, CommandTarget *target)
{
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, target] { updateStates(menu, target); });
    fill(menu, menu, nullptr, items, target);
}

QAction *FindCommandAction(const QList<QAction *> &actions, int id)
{
    for (QAction *a : actions) {
        if (a->menu()) {
            if (QAction *found = FindCommandAction(a->menu()->actions(), id))
                return found;
        } else if (!a->isSeparator() && a->data().toInt() == id) {
            return a;
        }
    }
    return nullptr;
}
