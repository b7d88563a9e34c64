#pragma once
#include <QToolButton>

// A push button with an image above its text; a text too wide for the button is
// broken at a blank onto a second line instead of being cut.
class ImageButton : public QToolButton
{
    Q_OBJECT
public:
    explicit ImageButton(QWidget *parent = nullptr);
    void SetCaption(const QString &text);
    QString Caption() const { return m_caption; }

    // text with a line break at the blank that best fits width, or text itself.
    static QString WrapToWidth(const QString &text, const QFontMetrics &metrics, int width);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Relayout();
    QString m_caption;
};
