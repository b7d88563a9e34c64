#pragma once
#include <QSlider>

// The preview's position slider. A left click jumps the thumb to the clicked
// point before the usual handling (so the thumb can be dragged on at once), and
// the release of the mouse is reported so the window can seek; so is the release of
// a key that moved the thumb. A screen reader hears its value as a time.
class CSliderCtrlEx : public QSlider
{
    Q_OBJECT

public:
    explicit CSliderCtrlEx(QWidget *parent = nullptr);

    // While true the position timer may move the thumb; cleared when the left
    // button goes down on the slider.
    bool SliderFollows() const { return m_sliderFollows; }
    void SetSliderFollows(bool follows) { m_sliderFollows = follows; }

    // The channel the thumb runs in, in widget coordinates.
    QRect ChannelRect() const;

signals:
    // The left mouse button was released after a press on the slider.
    void released();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool m_sliderFollows = true;
    bool m_keyMoved = false;
};
