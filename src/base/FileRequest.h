#pragma once
#include <QString>

// What a file dialog is asked for; the view that shows the dialog decides how.
struct FileRequest
{
    QString title;
    QString filter;        // Qt filter list, entries separated by ";;"
    QString defaultSuffix; // added to a typed name without one
    QString startPath;
    bool multiple = false; // several files may be chosen
    bool mustExist = true; // only existing files are accepted
    bool confirmOverwrite = false;
};
