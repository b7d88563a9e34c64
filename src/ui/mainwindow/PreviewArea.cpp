#include "ui/mainwindow/PreviewArea.h"

#include <QKeyEvent>
#include <QPainter>

PreviewArea::PreviewArea(QWidget *parent) : QFrame(parent), m_idle(QStringLiteral(":/icons/preview-idle.png"))
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAttribute(Qt::WA_NativeWindow); // the player attaches to this window
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(24, 26, 30));
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
}

void PreviewArea::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        emit playPauseRequested();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void PreviewArea::SetPoster(const QPixmap &poster)
{
    m_poster = poster;
    update();
}

void PreviewArea::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QRect inner = contentsRect();
    QPixmap picture;
    if (!m_poster.isNull())
        picture = m_poster.scaled(inner.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else if (m_idle.width() > inner.width() || m_idle.height() > inner.height())
        picture = m_idle.scaled(inner.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else
        picture = m_idle;
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(inner.center() - QPoint(picture.width() / 2, picture.height() / 2), picture);
}
