#pragma once
#include <QString>
#include <initializer_list>
#include <span>

class QWidget;

// A control id and the language id of its text ("@48").
struct DialogText
{
    int controlId;
    const char *textId;
};

// Gives each listed control of a window the current language's text: the title of a
// group box, the text of a label or a button (the tooltip of a button that shows only
// its image). Ids without a control are skipped.
void ApplyDialogTexts(QWidget *dialog, std::span<const DialogText> texts);
inline void ApplyDialogTexts(QWidget *dialog, std::initializer_list<DialogText> texts)
{
    ApplyDialogTexts(dialog, std::span<const DialogText>(texts.begin(), texts.size()));
}

// A control's name for a screen reader, from a language text: a label's closing colon and
// the mnemonic ampersands left out.
QString AccessibleText(const QString &text);
void SetAccessibleName(QWidget *control, const char *textId);
