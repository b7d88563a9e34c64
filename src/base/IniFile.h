#pragma once
#include <QByteArray>
#include <QString>

// Reading and writing of INI files the way the classic private-profile calls do:
// section and key names match without regard to case and the first match wins;
// a value loses its surrounding blanks and one pair of surrounding quotes and is
// cut to 249 characters; a missing file, section or key gives the default.
// Writing changes or adds the one line it needs and keeps every other line.
// Files are read as UTF-8, or as UTF-16 when they start with its byte-order mark.
namespace IniFile {

constexpr int kValueBuffer = 250; // a value is read into a buffer of this many characters

QString ReadString(const QString &path, const QString &section, const QString &key,
                   const QString &defaultValue = QString());

// The value's optional sign and leading decimal digits; 0 when it has none,
// defaultValue when the key is missing.
int ReadInt(const QString &path, const QString &section, const QString &key, int defaultValue);

// Creates the file, the section or the key as needed. False when the file cannot be written.
bool WriteString(const QString &path, const QString &section, const QString &key, const QString &value);

// The same rules on a file's contents in memory: the value read, and the
// contents after writing one value (every other line kept byte for byte).
QString ValueInText(const QByteArray &contents, const QString &section, const QString &key,
                    const QString &defaultValue = QString());
QByteArray WithValue(const QByteArray &contents, const QString &section, const QString &key, const QString &value);

// Drops any cached copy of a file (for callers that changed it behind our back).
void Forget(const QString &path);

} // namespace IniFile
