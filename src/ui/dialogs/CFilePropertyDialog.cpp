#include "ui/dialogs/CFilePropertyDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QVBoxLayout>

#include "core/conversion/TaskProbe.h"
#include "core/settings/Language.h"
#include "core/preview/FilePropertyText.h"
#include "ui/widgets/ControlId.h"

CFilePropertyDialog::CFilePropertyDialog(TaskList &tasks, int taskId, QWidget *parent)
    : ThemedDialog(parent), m_taskId(taskId)
{
    SetControlId(this, kTemplateId);
    EnableVisualManagerStyle(true);
    resize(392, 290); // 261 x 178 dialog units
    setWindowTitle(QStringLiteral("File Property"));

    auto *layout = new QVBoxLayout(this);
    m_info = new QTextEdit(this);
    SetControlId(m_info, kInfoId);
    m_info->setAcceptRichText(false);
    m_info->setLineWrapMode(QTextEdit::NoWrap);
    m_info->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_info->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_info->setTabChangesFocus(false);
    // Tab stops every 32 dialog units, as in a classic edit box: eight average characters.
    m_info->setTabStopDistance(8 * m_info->fontMetrics().averageCharWidth());
    layout->addWidget(m_info, 1);

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    SetControlId(close, kCloseId);
    close->setDefault(false);
    close->setAutoDefault(false); // Return belongs to the text box
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);

    if (const TaskPtr task = tasks.Find(m_taskId)) {
        // Not read yet (or never probed at all): ask the engine before showing anything.
        if (!task->mediaInfo || task->mediaInfo->durationSecText.isEmpty())
            ProbeTaskSource(*task, true);
        m_sourcePath = task->sourcePath;
        m_text = FilePropertyText(*task);
    }

    QString shown = m_text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_info->setPlainText(shown);
    // Inner margins on the left and the right only.
    QTextFrameFormat frame = m_info->document()->rootFrame()->frameFormat();
    frame.setMargin(0);
    frame.setLeftMargin(kSideMargin);
    frame.setRightMargin(kSideMargin);
    m_info->document()->rootFrame()->setFrameFormat(frame);

    setWindowTitle(GetLangString(QStringLiteral("@100")));
    m_info->setAccessibleName(windowTitle());
    close->setText(GetLangString(QStringLiteral("@107")));
}
