#include "ui/widgets/CSliderCtrlEx.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cmath>
#include <cstdlib>

#include "core/preview/PreviewPlayer.h"

namespace {

// The slider as a screen reader sees it: its value is a time in the file.
class TimeSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit TimeSliderAccessible(QWidget *slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return PreviewPlayer::FormatTime(slider()->value());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant &value) override { slider()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

private:
    QSlider *slider() const { return static_cast<QSlider *>(widget()); }
};

QAccessibleInterface *timeSliderFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("CSliderCtrlEx") && object && object->isWidgetType())
        return new TimeSliderAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

CSliderCtrlEx::CSliderCtrlEx(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(timeSliderFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
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

void CSliderCtrlEx::keyPressEvent(QKeyEvent *event)
{
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before) {
        // As with the mouse: the timer keeps off the thumb until the key is let go.
        m_sliderFollows = false;
        m_keyMoved = true;
    }
}

void CSliderCtrlEx::keyReleaseEvent(QKeyEvent *event)
{
    QSlider::keyReleaseEvent(event);
    if (m_keyMoved && !event->isAutoRepeat()) {
        m_keyMoved = false;
        emit released();
    }
}
