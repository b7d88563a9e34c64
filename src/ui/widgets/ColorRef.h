#pragma once
#include <QColor>

// Colours kept in the 0x00BBGGRR order of the settings and looks files.
inline QColor ColorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
