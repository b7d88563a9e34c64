#pragma once
#include <QAbstractSpinBox>

// A time span entry: hours, minutes and seconds with a spin button. The value is
// a whole number of seconds; whole days are kept but not shown (100 hours shows
// as 04:00:00 and reads back as 360000). The spin button steps the field the
// cursor is in, carrying into the next larger one.
class DurationEdit : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit DurationEdit(QWidget *parent = nullptr);

    // Negative values count as 0.
    void SetSeconds(int seconds);
    // Includes what the user has typed so far, when it reads as a time.
    int Seconds() const { return m_seconds; }

    // Steps the field the cursor is in.
    void stepBy(int steps) override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void secondsChanged(int seconds);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    StepEnabled stepEnabled() const override;

private:
    enum Field { Hours, Minutes, Seconds_ };

    void ShowValue();
    void TextEdited(const QString &text);
    void Store(long long seconds);
    Field FieldAt(int cursor) const;
    void SelectField(Field field);

    int m_seconds = 0;
};
