#pragma once
#include <QLineEdit>

class QToolButton;

// A single-line edit with a browse button inside its right end. The button only
// signals; the owner shows the chooser (through the prompter) and sets the text. Tab
// reaches the button after the text.
class BrowseEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum class Mode { Folder, File };
    explicit BrowseEdit(Mode mode, QWidget *parent = nullptr);
    Mode GetMode() const { return m_mode; }
    QAction *BrowseAction() const { return m_browse; }
    QToolButton *BrowseButton() const { return m_button; }
    // The button's tooltip and its name for a screen reader.
    void SetBrowseText(const QString &text);

signals:
    void browseRequested();
    void focusLeft();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    Mode m_mode;
    QAction *m_browse;
    QToolButton *m_button = nullptr;
};
