#include <QAccessible>
#include <QDialog>
#include <QtTest>

#include "core/settings/Language.h"
#include "support/MainWindowFixture.h"
#include "ui/dialogs/ConvertInfoDialog.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/TaskTableModel.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/CSliderCtrlEx.h"
#include "ui/widgets/PropertyGrid.h"

using namespace TestSupport;

namespace {

// Roles of the objects a user works with; focusable objects count whatever their role.
bool isInteractive(QAccessibleInterface *object)
{
    static const QList<QAccessible::Role> roles = {
        QAccessible::PushButton, QAccessible::CheckBox,    QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::SpinBox,   QAccessible::Slider,      QAccessible::Table,
        QAccessible::Tree,       QAccessible::List,        QAccessible::MenuItem,    QAccessible::PageTab,
        QAccessible::Link,       QAccessible::ButtonMenu,  QAccessible::ButtonDropDown};
    const QAccessible::State state = object->state();
    return !state.invisible && (roles.contains(object->role()) || state.focusable);
}

// Counts the interactive objects below object; lists those without a name.
int walk(QAccessibleInterface *object, QStringList &unnamed, int depth = 0)
{
    if (!object || depth > 40)
        return 0;
    int interactive = 0;
    if (isInteractive(object)) {
        ++interactive;
        if (object->text(QAccessible::Name).trimmed().isEmpty()) {
            QObject *o = object->object();
            unnamed << QStringLiteral("%1 %2 \"%3\"")
                           .arg(QString::number(object->role(), 16), o ? o->metaObject()->className() : "?",
                                o ? o->objectName() : QString());
        }
    }
    // Table cells are read for their values (below), not as controls.
    if (object->role() == QAccessible::Table || object->role() == QAccessible::Tree)
        return interactive;
    for (int i = 0; i < object->childCount(); ++i)
        interactive += walk(object->child(i), unnamed, depth + 1);
    return interactive;
}

// The unnamed objects of a window; none at all when the walk found too few controls to mean anything.
QStringList unnamedIn(QWidget *window, int fewest = 2)
{
    QStringList unnamed;
    const int interactive = walk(QAccessible::queryAccessibleInterface(window), unnamed);
    if (interactive < fewest)
        unnamed << QStringLiteral("only %1 interactive objects").arg(interactive);
    return unnamed;
}

} // namespace

// What a screen reader finds in the windows: a name for every control, in the window's
// language, and the values a sighted user reads off the task list, the slider and the grid.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyControlNamed()
    {
        MainWindowFixture fx;
        CCorvaneStudioDlg *dlg = fx.Window();
        MakeClip(fx.Folder().file("clip.mp4"), {.seconds = 1});
        fx.Drop({fx.Folder().file("clip.mp4")});
        fx.SelectOnly({0});
        for (int language : {Ids::LangEnglish, Ids::LangJapan, Ids::LangGerman}) {
            dlg->OnCommand(language);
            QCOMPARE(unnamedIn(dlg, 40), QStringList());
            QCOMPARE(dlg->Controls().taskList->accessibleName(), GetLangString("@245"));
            // Each dialog as its command opens it, shown for the walk.
            QStringList walked;
            fx.Prompts().dialogTitles.clear();
            for (int command : {Ids::Options, Ids::About, Ids::DetailButton, Ids::Property, Ids::TaskInfo}) {
                fx.Prompts().dialogHandlers.push_back([&](QDialog *d) {
                    d->show();
                    const QStringList unnamed = unnamedIn(d);
                    walked << d->windowTitle() + (unnamed.isEmpty() ? QString() : ": " + unnamed.join(", "));
                    return int(QDialog::Rejected);
                });
                dlg->OnCommand(command);
            }
            ConvertInfoDialog report(QStringLiteral("engine output"), dlg);
            report.show();
            walked << report.windowTitle() + (unnamedIn(&report).isEmpty() ? QString() : ": " + unnamedIn(&report).join(", "));
            QCOMPARE(walked, fx.Prompts().dialogTitles + QStringList{report.windowTitle()});
            QCOMPARE(walked.size(), 6);
        }
    }

    void valuesReadOffTheControls()
    {
        MainWindowFixture fx;
        CCorvaneStudioDlg *dlg = fx.Window();
        fx.DropEmptyFiles({"a.avi"});
        TaskList &tasks = fx.Tasks();
        const int id = tasks.IdAt(0);
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(dlg->Controls().taskList);
        auto statusCell = [&] {
            return list->tableInterface()->cellAt(0, TaskTableModel::Status)->text(QAccessible::Name);
        };
        QCOMPARE(list->tableInterface()->cellAt(0, TaskTableModel::Name)->text(QAccessible::Name), QStringLiteral("a.avi"));
        QCOMPARE(statusCell(), GetLangString("@254")); // waiting
        tasks.SetRunning(id, QString(), 42);
        QCOMPARE(statusCell(), QStringLiteral("Converting, 42%"));
        tasks.SetVerdict(id, Verdict::Failed);
        QCOMPARE(statusCell(), QStringLiteral("Failed"));

        CSliderCtrlEx *slider = dlg->Controls().slider;
        slider->setRange(0, 7200);
        slider->setValue(3725);
        QAccessibleInterface *position = QAccessible::queryAccessibleInterface(slider);
        QCOMPARE(position->text(QAccessible::Value), QStringLiteral("01:02:05"));
        QCOMPARE(position->valueInterface()->currentValue().toInt(), 3725);

        PropertyGrid grid;
        PropertyGridItem *group = grid.AddGroup(QStringLiteral("Video"));
        grid.AddProperty(group, std::make_unique<PropertyGridItem>("Frame size", "640x480", "Width x height"));
        grid.ExpandAll();
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(grid.tree());
        QAccessibleInterface *value = tree->tableInterface()->cellAt(1, 1);
        QCOMPARE(value->text(QAccessible::Name), QStringLiteral("Frame size: 640x480"));
        QCOMPARE(value->text(QAccessible::Description), QStringLiteral("Width x height"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
