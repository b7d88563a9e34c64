#pragma once
#include <QPointer>
#include <QStringList>
#include <QVector>

#include "app/CommandTarget.h"
#include "toolkit/ThemedDialog.h"

class AppSettings;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QAbstractButton;
class QPushButton;
class QSlider;
class QTableWidget;
class QToolButton;
class QWidget;
class StatusBar;

// The main window: menu bar, task list, profile and destination, preview and the
// conversion buttons. Each concern lives in its own class; this window owns the
// controls, routes commands and lays the controls out.
class CCorvaneStudioDlg : public ThemedDialog, public CommandTarget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 740;
    static constexpr int kMinHeight = 600;
    static QString ProductName();

    CCorvaneStudioDlg(AppSettings &settings, const QStringList &commandLineFiles, QWidget *parent = nullptr);
    ~CCorvaneStudioDlg() override;

    // CommandTarget
    void OnCommand(int id) override;
    State QueryCommand(int id) const override;

    // Re-applies every text of the window from the current language.
    void ApplyLanguage();
    // Places every control for a client area of cx by cy pixels.
    void LayoutControls(int cx, int cy);
    // Places the task list and the preview group (also after View Preview).
    void LayoutListAndPreview(int cx, int cy);
    void UpdateStatusCounts();

    // The shutdown path; false when the user chose to keep the window open.
    bool OnClose();

    StatusBar *GetStatusBar() const { return m_statusBar; }
    QMenuBar *GetMenuBar() const { return m_menuBar; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    void OnInitDialog();
    void CreateControls();
    void CreateMenuBar();
    QToolButton *MakeLargeButton(int id, const QString &text, const QString &iconName);
    QToolButton *MakeSmallButton(int id, const QString &text, const QString &iconName);
    void SetControlText(int id, const QString &text);
    void OnSetLanguage(int commandId);

    AppSettings &m_settings;
    QStringList m_commandLineFiles;

    QMenuBar *m_menuBar = nullptr;
    StatusBar *m_statusBar = nullptr;
    QWidget *m_topStrip = nullptr;
    QWidget *m_bottomStrip = nullptr;
    QTableWidget *m_taskList = nullptr;
    QComboBox *m_profileCombo = nullptr;
    QLineEdit *m_destination = nullptr;
    QWidget *m_destinationField = nullptr;
    QProgressBar *m_progress = nullptr;
    QWidget *m_paramGrid = nullptr;
    QFrame *m_previewArea = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_timeLabel = nullptr;
    QWidget *m_startTime = nullptr;
    QWidget *m_stopTime = nullptr;
};
