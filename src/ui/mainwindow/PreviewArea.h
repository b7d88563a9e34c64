#pragma once
#include <QFrame>
#include <QPixmap>

// The area the preview library draws into: a sunken frame with a native window that
// shows, while nothing is drawn over it, the poster of the selected file fitted into
// it, or without one its idle picture centred. With the keyboard focus, Space asks to
// play or pause.
class PreviewArea : public QFrame
{
    Q_OBJECT
public:
    explicit PreviewArea(QWidget *parent = nullptr);
    // A null picture brings the idle picture back.
    void SetPoster(const QPixmap &poster);
    bool ShowsPoster() const { return !m_poster.isNull(); }

signals:
    void playPauseRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPixmap m_idle;
    QPixmap m_poster;
};
