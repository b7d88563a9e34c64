#include "ui/widgets/StatusBar.h"

StatusBar::StatusBar(int paneCount, QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < paneCount; ++i) {
        auto *pane = new QLabel(this);
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        pane->setTextFormat(Qt::PlainText);
        pane->setFrameShape(QFrame::StyledPanel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setMinimumWidth(i >= 2 ? 90 : 40);
        // The second pane carries the long status line; the counters stay narrow.
        addPermanentWidget(pane, i == 1 ? 1 : 0);
        m_panes.push_back(pane);
    }
}

void StatusBar::SetPaneText(int index, const QString &text)
{
    if (index < 0 || index >= m_panes.size())
        return;
    // A status line may carry the engine's line breaks; the pane shows one line.
    QString oneLine = text;
    oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    m_panes[index]->setText(oneLine.trimmed());
    m_panes[index]->setProperty("rawText", text);
}

QString StatusBar::PaneText(int index) const
{
    if (index < 0 || index >= m_panes.size())
        return {};
    return m_panes[index]->property("rawText").toString();
}
