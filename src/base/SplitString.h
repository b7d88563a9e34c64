#pragma once
#include <QString>
#include <QStringList>

// Splits text at every occurrence of delim. Each piece loses its trailing white
// space; empty pieces are kept only when keepEmpty is set, except the piece after
// the last delimiter, which is always kept. Returns the number of pieces appended
// before the last one, plus one.
int SplitString(const QString &text, QStringList &out, const QString &delim, bool keepEmpty);

// Text with its trailing white space removed.
QString TrimRight(const QString &text);
// Text with its leading white space removed.
QString TrimLeft(const QString &text);
// The last line of text that holds anything, trimmed; empty when none does.
QString LastLine(const QString &text);
