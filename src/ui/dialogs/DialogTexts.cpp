#include "ui/dialogs/DialogTexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>

#include "core/settings/Language.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/ImageButton.h"

void ApplyDialogTexts(QWidget *dialog, std::span<const DialogText> texts)
{
    for (const DialogText &t : texts) {
        const QString text = GetLangString(QString::fromLatin1(t.textId));
        QWidget *control = FindControl<QWidget>(dialog, t.controlId);
        if (auto *group = qobject_cast<QGroupBox *>(control)) {
            group->setTitle(text);
        } else if (auto *label = qobject_cast<QLabel *>(control)) {
            label->setText(text);
        } else if (auto *image = qobject_cast<ImageButton *>(control)) {
            image->SetCaption(text);
        } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            button->setText(text);
            auto *tool = qobject_cast<QToolButton *>(button);
            if (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
                tool->setToolTip(text);
        }
    }
}

QString AccessibleText(const QString &text)
{
    QString name = text;
    name.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    name = name.trimmed();
    while (name.endsWith(u':') || name.endsWith(u'\uFF1A')) // the full-width colon of the Asian files
        name.chop(1);
    return name.trimmed();
}

void SetAccessibleName(QWidget *control, const char *textId)
{
    if (control)
        control->setAccessibleName(AccessibleText(GetLangString(QString::fromLatin1(textId))));
}
