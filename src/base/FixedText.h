#pragma once
#include <QString>

// A text field of fixed capacity, counted in UTF-16 units including the
// terminating NUL of the record layout it stands for: a longer value is cut.
template <int Capacity>
class FixedText
{
    static_assert(Capacity > 0);

public:
    static constexpr int capacity = Capacity;

    FixedText() = default;
    FixedText(const QString &text) : m_text(cut(text)) {}
    FixedText &operator=(const QString &text)
    {
        m_text = cut(text);
        return *this;
    }

    const QString &str() const { return m_text; }
    operator const QString &() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    void clear() { m_text.clear(); }
    bool operator==(const QString &other) const { return m_text == other; }

    static QString cut(const QString &text) { return text.left(Capacity - 1); }

private:
    QString m_text;
};
