#include "ui/widgets/FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {
constexpr int kWidth = 2;
} // namespace

FocusRing::FocusRing(QWidget *window) : QWidget(window)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { Follow(now); });
}

void FocusRing::Follow(QWidget *focused)
{
    // A control that hands its focus to a part of its own (a spin box's text) is ringed whole.
    while (focused && focused->parentWidget() && focused->parentWidget()->focusProxy() == focused)
        focused = focused->parentWidget();
    QWidget *window = parentWidget();
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = focused && focused != window && window->isAncestorOf(focused) ? focused : nullptr;
    if (!m_target) {
        hide();
        return;
    }
    m_target->installEventFilter(this);
    Place();
}

void FocusRing::Place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    const QRect inWindow(m_target->mapTo(parentWidget(), QPoint(0, 0)), m_target->size());
    setGeometry(inWindow.adjusted(-kWidth, -kWidth, kWidth, kWidth));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            Place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
}
