#include "ui/widgets/BrowseEdit.h"

#include <QAction>
#include <QFocusEvent>
#include <QStyle>
#include <QToolButton>

BrowseEdit::BrowseEdit(Mode mode, QWidget *parent) : QLineEdit(parent), m_mode(mode)
{
    const QIcon icon = style()->standardIcon(mode == Mode::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileIcon);
    m_browse = addAction(icon, QLineEdit::TrailingPosition);
    m_browse->setObjectName(QStringLiteral("browse"));
    // The edit draws the action as a tool button of its own, which keyboard users reach too.
    const QList<QToolButton *> buttons = findChildren<QToolButton *>(Qt::FindDirectChildrenOnly);
    if (!buttons.isEmpty()) {
        m_button = buttons.last();
        m_button->setObjectName(QStringLiteral("browse"));
        m_button->setFocusPolicy(Qt::TabFocus);
        setTabOrder(this, m_button);
    }
    SetBrowseText(mode == Mode::Folder ? QStringLiteral("Browse for a folder") : QStringLiteral("Browse for a file"));
    connect(m_browse, &QAction::triggered, this, &BrowseEdit::browseRequested);
}

void BrowseEdit::SetBrowseText(const QString &text)
{
    m_browse->setText(text);
    m_browse->setToolTip(text);
    if (m_button) {
        m_button->setToolTip(text);
        m_button->setAccessibleName(text);
    }
}

void BrowseEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the completer, a context menu) taking the focus is not leaving the field.
    if (event->reason() != Qt::PopupFocusReason)
        emit focusLeft();
}
