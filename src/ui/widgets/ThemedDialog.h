#pragma once
#include <QDialog>

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

private:
    bool m_styled = false;
};
