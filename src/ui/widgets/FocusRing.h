#pragma once
#include <QPointer>
#include <QWidget>

// A frame drawn round whichever control of one window has the keyboard focus, in the
// look's highlight colour, so that a keyboard user sees where the focus is whatever
// the look draws for that control. It takes no clicks and no focus.
class FocusRing : public QWidget
{
    Q_OBJECT
public:
    explicit FocusRing(QWidget *window);
    // The control it is drawn round now; null while it is hidden.
    QWidget *Target() const { return m_target; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Follow(QWidget *focused);
    void Place();

    QPointer<QWidget> m_target;
};
