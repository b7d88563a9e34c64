#pragma once
#include <QFrame>
#include <QPixmap>

// The area the preview library draws into: a sunken frame with a native window
// that shows its idle picture centred while nothing is drawn over it.
class PreviewArea : public QFrame
{
    Q_OBJECT
public:
    explicit PreviewArea(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_idle;
};
