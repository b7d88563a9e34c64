#pragma once
#include <QString>

// The file-type filter of Add File: "Supported Files" and one entry per family of types.
QString AddFileFilter();
