#include "ui/widgets/BrowseEdit.h"

#include <QAction>
#include <QFocusEvent>
#include <QStyle>

BrowseEdit::BrowseEdit(Mode mode, QWidget *parent) : QLineEdit(parent), m_mode(mode)
{
    const QIcon icon = style()->standardIcon(mode == Mode::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileIcon);
    m_browse = addAction(icon, QLineEdit::TrailingPosition);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_browse->setToolTip(mode == Mode::Folder ? tr("Browse for a folder") : tr("Browse for a file"));
    connect(m_browse, &QAction::triggered, this, &BrowseEdit::browseRequested);
}

void BrowseEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A popup (the completer, a context menu) taking the focus is not leaving the field.
    if (event->reason() != Qt::PopupFocusReason)
        emit focusLeft();
}
