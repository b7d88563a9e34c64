#include "preview/PreviewArea.h"

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
}

void PreviewArea::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_idle.isNull())
        return;
    QPainter painter(this);
    const QRect inner = contentsRect();
    QPixmap picture = m_idle;
    if (picture.width() > inner.width() || picture.height() > inner.height())
        picture = m_idle.scaled(inner.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.drawPixmap(inner.center() - QPoint(picture.width() / 2, picture.height() / 2), picture);
}
