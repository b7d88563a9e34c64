#include "ui/widgets/ImageButton.h"

#include <QEvent>
#include <QFontMetrics>

ImageButton::ImageButton(QWidget *parent) : QToolButton(parent)
{
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void ImageButton::SetCaption(const QString &text)
{
    m_caption = text;
    setToolTip(text);
    setAccessibleName(text); // the shown text is wrapped to the button's width
    Relayout();
}

QString ImageButton::WrapToWidth(const QString &text, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    // Of the blanks, the one that leaves the longer line shortest.
    int bestAt = -1;
    int bestWidth = 0;
    for (qsizetype i = text.indexOf(u' '); i >= 0; i = text.indexOf(u' ', i + 1)) {
        const int w = std::max(metrics.horizontalAdvance(text.left(i)), metrics.horizontalAdvance(text.mid(i + 1)));
        if (bestAt < 0 || w < bestWidth) {
            bestAt = int(i);
            bestWidth = w;
        }
    }
    if (bestAt < 0)
        return text;
    return text.left(bestAt) + u'\n' + text.mid(bestAt + 1);
}

void ImageButton::Relayout()
{
    setText(WrapToWidth(m_caption, fontMetrics(), width() - 8));
}

void ImageButton::resizeEvent(QResizeEvent *event)
{
    QToolButton::resizeEvent(event);
    Relayout();
}

void ImageButton::changeEvent(QEvent *event)
{
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Relayout();
}
