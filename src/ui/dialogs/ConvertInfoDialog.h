#pragma once
#include "ui/widgets/ThemedDialog.h"

class QPlainTextEdit;

// Shown after a failed conversion: the engine's first output lines.
class ConvertInfoDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static constexpr int kTextId = 1078;
    static constexpr int kCloseId = 2;
    static constexpr int kEmailId = 1068;

    explicit ConvertInfoDialog(const QString &headerText, QWidget *parent = nullptr);
    QString Text() const;

private:
    QPlainTextEdit *m_text;
};
