#pragma once
#include "core/tasks/TaskList.h"
#include "ui/widgets/ThemedDialog.h"

class QTextEdit;

// File Property (template 142): what is known about one task's input file. A task whose
// file has not been read yet is probed first, on this thread. The text may be typed into
// but nothing is kept. Set up completely by the constructor.
class CFilePropertyDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 142;
    static constexpr int kInfoId = 1053;
    static constexpr int kCloseId = 2;
    static constexpr int kSideMargin = 3; // pixels left and right inside the text box

    CFilePropertyDialog(TaskList &tasks, int taskId, QWidget *parent = nullptr);

    int TaskId() const { return m_taskId; }
    QString SourcePath() const { return m_sourcePath; }
    QTextEdit *InfoEdit() const { return m_info; }
    // The information text as it was built, CR LF line ends included.
    QString InfoText() const { return m_text; }

private:
    int m_taskId;
    QString m_sourcePath;
    QString m_text;
    QTextEdit *m_info = nullptr;
};
