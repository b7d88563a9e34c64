#include "ui/widgets/ThemedDialog.h"

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
