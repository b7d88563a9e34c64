#pragma once
#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>

// A label that opens a web address when clicked: drawn in the link colour, the
// visited colour once opened, the hover colour while the mouse is over it; a hand
// cursor and a tooltip with the address.
class CLinkLabel : public QLabel
{
    Q_OBJECT
public:
    enum Underline { UnderlineHover = -1, UnderlineNever = 0, UnderlineAlways = 1 };
    static constexpr int kHoverTimerMs = 100;

    explicit CLinkLabel(QWidget *parent = nullptr);
    // The text shown and the address opened; an empty address means the text is the
    // address, an empty text shows the address.
    CLinkLabel(const QString &text, const QString &address, QWidget *parent = nullptr);

    void SetAddress(const QString &address);
    QString GetAddress() const; // the address a click opens
    // The text shown; also the address while no address of its own is set.
    void SetLinkText(const QString &text);

    // Colours as 0x00BBGGRR values.
    void SetLinkColor(quint32 bgr);
    void SetVisitedColor(quint32 bgr);
    void SetHoverColor(quint32 bgr);
    QColor LinkColor() const { return m_linkColor; }
    QColor VisitedColor() const { return m_visitedColor; }
    QColor HoverColor() const { return m_hoverColor; }
    // The colour the text is drawn with now.
    QColor CurrentColor() const;

    void SetVisited(bool visited = true);
    bool IsVisited() const { return m_visited; }
    bool IsOver() const { return m_over; }

    void SetUnderline(int mode); // Underline values
    int GetUnderline() const { return m_underline; }
    bool IsUnderlined() const { return font().underline(); }

    // Whether the label takes exactly the size of its text (on by default).
    void SetAutoSize(bool fit = true);
    bool IsAutoSize() const { return m_fitToText; }

signals:
    // After a click has tried to open the address; opened tells whether it did.
    void linkOpened(bool opened);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void attach();
    // Opens the address and remembers whether it opened.
    void Open();
    void startHover();
    void endHover();
    void applyFonts();
    void fitToText();

    QString m_address;
    QColor m_linkColor;
    QColor m_visitedColor;
    QColor m_hoverColor;
    bool m_over = false;
    bool m_visited = false;
    bool m_pressed = false;
    int m_underline = UnderlineHover;
    bool m_fitToText = true;
    bool m_applyingFont = false;
    QFont m_normalFont;
    QFont m_underlinedFont;
    QBasicTimer m_hoverTimer;
};
