#include "core/tasks/MediaFileTypes.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {
const QString kAddFileFilter = QStringLiteral(
    "Supported Files (*.avi *.3gp *.gif *.dv *.dif *.qt *.swf *.mjpg *.mjpeg *.nut *.h264 *.h261 *.m4v *.yuv *.rm "
    "*.ra *.ram *.rmvb *.3g2 *.mp4 *.asf *.vob *.mov *.mpg *.mpeg *.mpa *.dat *.wmv *.flv *.mkv);;"
    "AVI Files(*.avi) (*.avi);; 3GPP Files(*.3gp) (*.3gp);; 3GPP2 Files(*.3g2) (*.3g2);;"
    "Animated GIF Files(*.gif) (*.gif);;Dv Video Files(*.dv,*.dif) (*.dv *.dif);;"
    "QuickTime Files(*.mov,*.qt) (*.mov *.qt);;Macromedia Flash Files(*.swf) (*.swf);;"
    "Mjpeg Video Files(*.mjpg,*.mjpeg) (*.mjpg *.mjpeg);;MPEG-4 Files(*.mp4) (*.mp4);;"
    "Raw h264 Video Files(*.h261,*.h264) (*.h261 *.h264);;Raw MPEG4 Video Files(*.m4v) (*.m4v);;"
    "Raw Video Files(*.yuv) (*.yuv);;Real Media Files(*.rm,*.ra,*.ram,*.rmvb) (*.rm *.ra *.ram *.rmvb);;"
    "Windows Media Files(*.asf) (*.asf);;"
    "MPEG Files(*.mpg,*.mpeg,*.mpa,*.dat,*.vob) (*.mpg *.mpeg *.mpa *.dat *.vob);;All files(*.*) (*)");
} // namespace

QString AddFileFilter()
{
    return kAddFileFilter;
}

bool IsMediaFileName(const QString &path)
{
    static const QSet<QString> kTypes = {
        // The Add File types.
        "avi", "3gp", "gif", "dv", "dif", "qt", "swf", "mjpg", "mjpeg", "nut", "h264", "h261", "m4v", "yuv", "rm",
        "ra", "ram", "rmvb", "3g2", "mp4", "asf", "vob", "mov", "mpg", "mpeg", "mpa", "dat", "wmv", "flv", "mkv",
        // What cameras, phones and the web hand out today.
        "webm", "ts", "m2ts", "mts", "mxf", "ogv", "hevc", "h265", "y4m", "m2v", "divx", "f4v",
        "mp3", "m4a", "aac", "wav", "flac", "ogg", "oga", "opus", "wma", "ac3", "mka", "aiff", "aif"};
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && kTypes.contains(name.mid(dot + 1).toLower());
}

bool NaturalLess(const QString &a, const QString &b)
{
    // Runs of digits compare by value, everything else letter by letter without case;
    // the collator's own numeric mode is not there in every locale.
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            QStringView x = QStringView(a).mid(i, ei - i), y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x[0] == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y[0] == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

QStringList ExpandDroppedPaths(const QStringList &paths)
{
    QStringList expanded;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isDir()) {
            expanded << path;
            continue;
        }
        QStringList files;
        QDirIterator it(path, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (IsMediaFileName(file))
                files << file;
        }
        std::sort(files.begin(), files.end(), NaturalLess);
        expanded << files;
    }
    return expanded;
}
