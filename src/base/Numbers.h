#pragma once
#include <QString>

// Readers of numbers at the start of a text, in the manner of the C library:
// leading white space is skipped, reading stops at the first character that
// cannot continue the number, and a text without a number gives 0.
int LeadingInt(const QString &text);
double LeadingDouble(const QString &text);
