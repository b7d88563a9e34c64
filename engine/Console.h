#pragma once
// Everything mirracore prints goes through here: one write per line, each line
// ending in CR LF, so a reader on the other end of a pipe sees whole lines at once.

#include <stdexcept>
#include <string>

namespace mirra {

// A failure that ends the run: main prints its text as the one error line.
class EngineError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

void PrintLine(const std::string &line);
void PrintLinef(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Library messages are kept quiet; the last error-level one is remembered so our
// own error line can say what the library complained about.
void InstallLibraryLog(int printLevel);
std::string TakeLibraryError();

// Text for an AVERROR code, with the library's last complaint when there is one.
std::string ErrorText(int averror);

// Fields of the description lines never hold a comma or a line break.
std::string FieldSafe(std::string text);

} // namespace mirra
