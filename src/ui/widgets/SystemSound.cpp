#include "ui/widgets/SystemSound.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>

namespace SystemSound {

void Play(Kind kind)
{
    // canberra-gtk-play plays the theme's event sounds; it is started directly, never through a shell.
    static const QString player = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!player.isEmpty() && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        const char *id = kind == Kind::Information ? "complete" : kind == Kind::Error ? "dialog-error" : "dialog-warning";
        if (QProcess::startDetached(player, {QStringLiteral("-i"), QString::fromLatin1(id)}))
            return;
    }
    QApplication::beep();
}

} // namespace SystemSound
