#pragma once
#include <initializer_list>

class QWidget;

// A control id and the language id of its text ("@48").
struct DialogText
{
    int controlId;
    const char *textId;
};

// Gives each listed control of a dialog the current language's text: the title of a
// group box, the text of a label or a button. Ids without a control are skipped.
void ApplyDialogTexts(QWidget *dialog, std::initializer_list<DialogText> texts);
