// A language file of any content: every lookup ends, and its text is a trimmed,
// capped value.
#include "FuzzSupport.h"
#include "core/settings/AppFolders.h"
#include "base/IniFile.h"
#include "core/settings/Language.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    static const QString program = folder.path() + QStringLiteral("/");
    static const bool made = QDir(program).mkpath(QStringLiteral("Lang"));
    if (!made)
        std::abort();
    const QString path = program + QStringLiteral("Lang/fuzz.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(Fuzz::View(data, size).toByteArray());
    }
    IniFile::Forget(path);
    static const AppFolders folders = AppFolders::ForProgram(program + QStringLiteral("corvane-studio"));
    Language language;
    language.Init(folders, program + QStringLiteral("MirraSoft.ini"));
    language.SetLanguageFile(QStringLiteral("fuzz.ini"));
    for (int id = 0; id < 140; id += 7) {
        const QString text = language.GetLangString(QStringLiteral("@%1").arg(id));
        if (text.size() >= IniFile::kValueBuffer || text != text.trimmed())
            std::abort();
    }
    for (const char *key : {"File", "Help", "ID_FILE_OPEN", ""})
        if (language.GetLangString(QString::fromLatin1(key)).size() >= IniFile::kValueBuffer)
            std::abort();
    return 0;
}
