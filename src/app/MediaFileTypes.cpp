#include "app/MediaFileTypes.h"

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
