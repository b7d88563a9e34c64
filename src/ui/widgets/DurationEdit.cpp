#include "ui/widgets/DurationEdit.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <climits>

namespace {
constexpr int SecondsPerDay = 86400;

// h:m:s with up to two digits each; parts may still be missing while typing.
const QRegularExpression &TimePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{0,2})(?::(\\d{0,2})(?::(\\d{0,2}))?)?\\s*$"));
    return pattern;
}
} // namespace

DurationEdit::DurationEdit(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    setAccelerated(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DurationEdit::TextEdited);
    connect(this, &QAbstractSpinBox::editingFinished, this, &DurationEdit::ShowValue);
    ShowValue();
}

void DurationEdit::SetSeconds(int seconds)
{
    Store(seconds < 0 ? 0 : seconds);
    ShowValue();
}

void DurationEdit::Store(long long seconds)
{
    const int value = int(qBound(0LL, seconds, (long long)INT_MAX));
    if (value == m_seconds)
        return;
    m_seconds = value;
    emit secondsChanged(m_seconds);
}

void DurationEdit::ShowValue()
{
    const int shown = m_seconds % SecondsPerDay;
    const QString text = QString::asprintf("%02d:%02d:%02d", shown / 3600, shown % 3600 / 60, shown % 60);
    if (lineEdit()->text() != text) {
        const int cursor = lineEdit()->cursorPosition();
        lineEdit()->setText(text);
        lineEdit()->setCursorPosition(qMin(cursor, int(text.size())));
    }
}

void DurationEdit::TextEdited(const QString &text)
{
    const QRegularExpressionMatch match = TimePattern().match(text);
    if (!match.hasMatch() || match.captured(3).isEmpty())
        return; // not a whole time yet
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    const int seconds = match.captured(3).toInt();
    const long long days = m_seconds / SecondsPerDay;
    Store(days * SecondsPerDay + hours * 3600LL + minutes * 60LL + seconds);
}

QValidator::State DurationEdit::validate(QString &input, int &) const
{
    const QRegularExpressionMatch match = TimePattern().match(input);
    if (!match.hasMatch())
        return QValidator::Invalid;
    const int limits[3] = {23, 59, 59};
    bool complete = true;
    for (int part = 0; part < 3; ++part) {
        const QString digits = match.captured(part + 1);
        if (digits.isEmpty()) {
            complete = false;
            continue;
        }
        if (digits.toInt() > limits[part])
            return QValidator::Invalid;
    }
    return complete ? QValidator::Acceptable : QValidator::Intermediate;
}

void DurationEdit::fixup(QString &input) const
{
    const int shown = m_seconds % SecondsPerDay;
    input = QString::asprintf("%02d:%02d:%02d", shown / 3600, shown % 3600 / 60, shown % 60);
}

DurationEdit::Field DurationEdit::FieldAt(int cursor) const
{
    const QString text = lineEdit()->text();
    const int first = text.indexOf(u':');
    const int second = first < 0 ? -1 : text.indexOf(u':', first + 1);
    if (first < 0 || cursor <= first)
        return Hours;
    if (second < 0 || cursor <= second)
        return Minutes;
    return Seconds_;
}

void DurationEdit::SelectField(Field field)
{
    const int start = field == Hours ? 0 : field == Minutes ? 3 : 6;
    lineEdit()->setSelection(start, 2);
}

void DurationEdit::stepBy(int steps)
{
    const Field field = FieldAt(lineEdit()->cursorPosition());
    const long long unit = field == Hours ? 3600 : field == Minutes ? 60 : 1;
    Store(m_seconds + steps * unit);
    ShowValue();
    SelectField(field);
}

QAbstractSpinBox::StepEnabled DurationEdit::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (m_seconds > 0)
        enabled |= StepDownEnabled;
    if (m_seconds < INT_MAX)
        enabled |= StepUpEnabled;
    return enabled;
}

QSize DurationEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics(font());
    QSize content(metrics.horizontalAdvance(QStringLiteral("00:00:00 ")) + 4, lineEdit()->sizeHint().height());
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize DurationEdit::minimumSizeHint() const
{
    return sizeHint();
}
