#pragma once
#include <QDialog>

class QBoxLayout;
class QPushButton;

// Base of the program's dialogs: follows the current application look once the
// look style is switched on for it, and does all its initialisation in its
// constructor so that it can be driven without running its event loop.
class ThemedDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ThemedDialog(QWidget *parent = nullptr);
    void EnableVisualManagerStyle(bool on = true);
    bool IsVisualManagerStyle() const { return m_styled; }

protected:
    struct OkCancel
    {
        QPushButton *ok = nullptr;
        QPushButton *cancel = nullptr;
    };
    // The closing row at the foot of the dialog: OK (the default button) and Cancel at the
    // right, after an optional button at the left. Neither is connected yet.
    OkCancel AddOkCancelRow(QBoxLayout *layout, int okId, int cancelId, const QString &okText = QStringLiteral("OK"),
                            QPushButton *left = nullptr);

private:
    bool m_styled = false;
};
