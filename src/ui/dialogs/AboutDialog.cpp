#include "ui/dialogs/AboutDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "ui/mainwindow/ControlIds.h"
#include "core/settings/ProgramIdentity.h"
#include "ui/widgets/CLinkLabel.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/Resources.h"

QString AboutDialog::VersionText()
{
    return QStringLiteral("CorvaneStudio Version ") + ProgramIdentity::Version();
}

QString AboutDialog::MakerAddress()
{
    return QStringLiteral("https://corvane-studio.example/");
}

QString AboutDialog::CopyrightText()
{
    return QStringLiteral("Copyright \u00A9 the CorvaneStudio developers.\n"
                          "Free software under the GNU General Public License, version 3 or later "
                          "(GPL-3.0-or-later).");
}

AboutDialog::AboutDialog(QWidget *parent) : ThemedDialog(parent)
{
    SetControlId(this, Ids::AboutBox);
    EnableVisualManagerStyle(true);
    setWindowTitle(QStringLiteral("About CorvaneStudio"));
    InitProgramResources();

    auto *icon = new QLabel(this);
    SetControlId(icon, Ids::AboutIcon);
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *version = new QLabel(VersionText(), this);
    SetControlId(version, Ids::AboutVersion);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);

    m_link = new CLinkLabel(MakerAddress(), MakerAddress(), this);
    SetControlId(m_link, Ids::AboutLink);

    auto *copyright = new QLabel(CopyrightText(), this);
    SetControlId(copyright, Ids::AboutCopyright);
    copyright->setWordWrap(true);
    copyright->setTextFormat(Qt::PlainText);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(ok, Ids::IdOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(14, 14, 14, 12);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);
    grid->addWidget(icon, 0, 0, 3, 1);
    grid->addWidget(version, 0, 1);
    grid->addWidget(m_link, 1, 1, Qt::AlignLeft);
    grid->addWidget(copyright, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    copyright->setMinimumWidth(300);
    setSizeGripEnabled(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}
