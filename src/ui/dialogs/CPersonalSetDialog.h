#pragma once
#include <memory>

#include "core/tasks/TaskRecord.h"
#include "ui/widgets/ThemedDialog.h"

class PersonalSetHost;
class PropertyGrid;
class PropertyGridItem;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
struct ParamCell;

// "Personal Set": one task's own source, output file, profile and parameters. The check
// box switches the task between following the main window and settings of its own; the
// grid edits the task's own tree. Changes made before Cancel stay in the record, like the
// grid's edits. Set up completely by the constructor.
class CPersonalSetDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static constexpr int kSourceEditId = 1000;
    static constexpr int kOutputEditId = 1002;
    static constexpr int kProfileComboId = 1004;
    static constexpr int kGridId = 1010;
    static constexpr int kOpenId = 1011;
    static constexpr int kOkId = 1020;
    static constexpr int kUseGlobalId = 1137;
    static constexpr int kSourceGroupId = 1145;
    static constexpr int kSourceLabelId = 1146;
    static constexpr int kTargetGroupId = 1147;
    static constexpr int kOutputLabelId = 1157;
    static constexpr int kProfileLabelId = 1158;
    static constexpr int kCancelId = 2;

    // currentTree: the main window's current tree when the dialog opens.
    CPersonalSetDialog(ParamCell *currentTree, int taskId, PersonalSetHost &host, QWidget *parent = nullptr);

    PropertyGrid *Grid() const { return m_grid; }
    TaskPtr Task() const { return m_task; }
    QString TargetType() const { return m_targetType; }

    // The handlers, public so that the window's commands and tests reach them.
    void Refresh();
    void OnUseGlobalClicked();
    void OnProfileSelChange();
    void OnOpen();
    void OnOk();

private:
    void OnPropertyChanged(PropertyGridItem *property);
    void SetTexts();
    void SetPersonalControls(bool personal);
    void SelectProfileEntry(int index);
    QStringList ComboEntries() const;

    ParamCell *m_currentTree;
    int m_taskId;
    TaskPtr m_task;
    PersonalSetHost &m_host;
    QString m_destFolder;
    QString m_targetType;

    QLineEdit *m_source = nullptr;
    QPushButton *m_open = nullptr;
    QCheckBox *m_useGlobal = nullptr;
    QLineEdit *m_output = nullptr;
    QComboBox *m_profile = nullptr;
    PropertyGrid *m_grid = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

// The Task Info command: a "Personal Set" dialog for every selected row, from the top,
// each run modally through the prompter after the previous one has ended.
void RunPersonalSetDialogs(PersonalSetHost &host);
