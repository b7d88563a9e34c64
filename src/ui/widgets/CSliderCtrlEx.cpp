#include "ui/widgets/CSliderCtrlEx.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cmath>
#include <cstdlib>

CSliderCtrlEx::CSliderCtrlEx(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
}

QRect CSliderCtrlEx::ChannelRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
}

void CSliderCtrlEx::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_sliderFollows = false;
        const QRect channel = ChannelRect();
        const int span = maximum() - minimum();
        if (channel.width() > 0) {
            const double x = event->position().x();
            const int target = int(std::trunc((x - channel.left()) / channel.width() * span));
            // A click right next to the thumb leaves it where it is.
            if (std::abs(target - value()) > span * 0.01)
                setValue(target);
        }
    }
    QSlider::mousePressEvent(event);
}

void CSliderCtrlEx::mouseReleaseEvent(QMouseEvent *event)
{
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit released();
}
