#pragma once
#include <functional>

class BrowseEdit;
class CListCtrlEx;
class CSliderCtrlEx;
class DurationEdit;
class PreviewArea;
class PropertyGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QWidget;
class StatusBar;

// The main window's controls: each carries its control id as object name.
struct MainWindowControls
{
    QMenuBar *menuBar = nullptr;
    StatusBar *statusBar = nullptr;
    QWidget *topStrip = nullptr;
    QWidget *bottomStrip = nullptr;
    CListCtrlEx *taskList = nullptr;
    QComboBox *profileCombo = nullptr;
    BrowseEdit *destination = nullptr;
    QProgressBar *progress = nullptr;
    PropertyGrid *paramGrid = nullptr;
    PreviewArea *previewArea = nullptr;
    CSliderCtrlEx *slider = nullptr;
    QLabel *timeLabel = nullptr;
    DurationEdit *startTime = nullptr;
    DurationEdit *stopTime = nullptr;

    // Makes every control as a child of window; buttons run command(id).
    static MainWindowControls Create(QWidget *window, const std::function<void(int)> &command);

    // Places every control for a client area of cx by cy pixels.
    void Layout(QWidget *window, int cx, int cy, bool previewHidden) const;
    // Places the task list and the preview group (also after View Preview).
    void LayoutListAndPreview(QWidget *window, int cx, int cy, bool previewHidden) const;
};
