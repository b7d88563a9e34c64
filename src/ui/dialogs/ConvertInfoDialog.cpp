#include "ui/dialogs/ConvertInfoDialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/settings/Language.h"
#include "ui/widgets/ControlId.h"

ConvertInfoDialog::ConvertInfoDialog(const QString &headerText, QWidget *parent) : ThemedDialog(parent)
{
    EnableVisualManagerStyle(true);
    setWindowTitle(GetLangString(QStringLiteral("@96")));
    resize(620, 360);
    auto *layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    SetControlId(m_text, kTextId);
    m_text->setReadOnly(true);
    m_text->setAccessibleName(windowTitle());
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_text->setFont(mono);
    QString text = headerText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    m_text->setPlainText(text);
    layout->addWidget(m_text);

    auto *email = new QPushButton(QStringLiteral("Email To"), this);
    SetControlId(email, kEmailId);
    email->hide();
    connect(email, &QPushButton::clicked, this, &QDialog::accept);
    auto *close = new QPushButton(GetLangString(QStringLiteral("@62")), this);
    SetControlId(close, kCloseId);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);
}

QString ConvertInfoDialog::Text() const
{
    return m_text->toPlainText();
}
