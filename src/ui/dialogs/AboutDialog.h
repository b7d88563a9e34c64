#pragma once
#include "ui/widgets/ThemedDialog.h"

class CLinkLabel;
class QLabel;
class QPushButton;

// The About box: the program icon, its name and version, the maker's web address as a
// link, the licence line and OK. Run it through Prompter::Current().Exec.
class AboutDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static QString VersionText();   // "CorvaneStudio Version 1.0"
    static QString MakerAddress();  // the web address of the link
    static QString CopyrightText();

    explicit AboutDialog(QWidget *parent = nullptr);

    CLinkLabel *Link() const { return m_link; }

private:
    CLinkLabel *m_link = nullptr;
};
