#include "ui/widgets/ThemedDialog.h"

#include <QBoxLayout>
#include <QPushButton>

#include "ui/widgets/ControlId.h"

ThemedDialog::ThemedDialog(QWidget *parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void ThemedDialog::EnableVisualManagerStyle(bool on)
{
    m_styled = on;
    // The look is applied application-wide; a styled dialog paints its background from the palette.
    setAutoFillBackground(on);
    setProperty("themed", on);
}

ThemedDialog::OkCancel ThemedDialog::AddOkCancelRow(QBoxLayout *layout, int okId, int cancelId, const QString &okText,
                                                  QPushButton *left)
{
    auto *row = new QHBoxLayout;
    if (left)
        row->addWidget(left);
    row->addStretch(1);
    OkCancel buttons{WithControlId(new QPushButton(okText, this), okId),
                     WithControlId(new QPushButton(QStringLiteral("Cancel"), this), cancelId)};
    buttons.ok->setDefault(true);
    buttons.cancel->setAutoDefault(false);
    row->addWidget(buttons.ok);
    row->addWidget(buttons.cancel);
    layout->addLayout(row);
    return buttons;
}
