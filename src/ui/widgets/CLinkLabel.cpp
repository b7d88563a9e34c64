#include "ui/widgets/CLinkLabel.h"
#include "ui/widgets/ColorRef.h"

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>

#include "ui/widgets/Launcher.h"

namespace {
constexpr quint32 kDefaultLink = 0x00EE0000;    // blue 238
constexpr quint32 kDefaultVisited = 0x008B1A55; // red 85, green 26, blue 139
constexpr quint32 kDefaultHover = 0x000000FF;   // red 255
} // namespace

CLinkLabel::CLinkLabel(QWidget *parent) : CLinkLabel(QString(), QString(), parent) {}

CLinkLabel::CLinkLabel(const QString &text, const QString &address, QWidget *parent)
    : QLabel(text, parent), m_address(address), m_linkColor(ColorFromBgr(kDefaultLink)),
      m_visitedColor(ColorFromBgr(kDefaultVisited)), m_hoverColor(ColorFromBgr(kDefaultHover))
{
    setTextFormat(Qt::PlainText);
    // Moves without a button held must arrive, or the hover would start only on a click.
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    attach();
}

void CLinkLabel::attach()
{
    if (text().isEmpty() && !m_address.isEmpty())
        setText(m_address);
    m_normalFont = font();
    m_normalFont.setUnderline(false);
    m_underlinedFont = m_normalFont;
    m_underlinedFont.setUnderline(true);
    applyFonts();
    setToolTip(GetAddress());
    fitToText();
}

void CLinkLabel::SetAddress(const QString &address)
{
    m_address = address;
    attach();
}

QString CLinkLabel::GetAddress() const
{
    return m_address.isEmpty() ? text() : m_address;
}

void CLinkLabel::SetLinkText(const QString &text)
{
    setText(text);
    attach();
}

void CLinkLabel::SetLinkColor(quint32 bgr)
{
    m_linkColor = ColorFromBgr(bgr);
    update();
}

void CLinkLabel::SetVisitedColor(quint32 bgr)
{
    m_visitedColor = ColorFromBgr(bgr);
    update();
}

void CLinkLabel::SetHoverColor(quint32 bgr)
{
    m_hoverColor = ColorFromBgr(bgr);
    update();
}

QColor CLinkLabel::CurrentColor() const
{
    if (m_over)
        return m_hoverColor;
    return m_visited ? m_visitedColor : m_linkColor;
}

void CLinkLabel::SetVisited(bool visited)
{
    m_visited = visited;
    update();
}

void CLinkLabel::SetUnderline(int mode)
{
    m_underline = mode < 0 ? UnderlineHover : (mode > 0 ? UnderlineAlways : UnderlineNever);
    applyFonts();
}

void CLinkLabel::SetAutoSize(bool fit)
{
    m_fitToText = fit;
    fitToText();
}

void CLinkLabel::applyFonts()
{
    const bool underlined = m_underline == UnderlineAlways || (m_underline == UnderlineHover && m_over);
    m_applyingFont = true;
    setFont(underlined ? m_underlinedFont : m_normalFont);
    m_applyingFont = false;
    update();
}

void CLinkLabel::fitToText()
{
    if (m_fitToText) {
        // Only the text is the link: the label neither grows in a layout nor wider than its text.
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        resize(sizeHint());
    } else {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    updateGeometry();
}

void CLinkLabel::startHover()
{
    if (m_over)
        return;
    m_over = true;
    applyFonts();
    m_hoverTimer.start(kHoverTimerMs, this);
}

void CLinkLabel::endHover()
{
    m_over = false;
    m_hoverTimer.stop();
    applyFonts();
}

void CLinkLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The face behind the text is the window's, whatever a style sheet says about labels.
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setFont(font());
    painter.setPen(CurrentColor());
    painter.drawText(contentsRect(), int(alignment()), text());
    if (hasFocus()) {
        painter.setPen(QPen(CurrentColor(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CLinkLabel::keyPressEvent(QKeyEvent *event)
{
    // A link reached with Tab opens with Return or Space, as a click opens it.
    switch (event->key()) {
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Space:
        event->accept();
        Open();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void CLinkLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    startHover();
}

void CLinkLabel::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    startHover();
}

void CLinkLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    const bool click = m_pressed && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Open();
}

void CLinkLabel::Open()
{
    // The hover colour gives way at once; the timer restores the hover while the mouse stays.
    m_over = false;
    applyFonts();
    const bool opened = Launcher::Current().OpenUrl(QUrl::fromUserInput(GetAddress()));
    SetVisited(opened);
    emit linkOpened(opened);
}

void CLinkLabel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        endHover();
}

void CLinkLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    // A font given from outside (a look, a dialog font) becomes the new normal font.
    if (event->type() == QEvent::FontChange && !m_applyingFont) {
        const bool fit = m_fitToText;
        m_normalFont = font();
        m_normalFont.setUnderline(false);
        m_underlinedFont = m_normalFont;
        m_underlinedFont.setUnderline(true);
        applyFonts();
        if (fit)
            fitToText();
    }
}
