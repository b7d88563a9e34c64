#pragma once
#include "ui/widgets/ThemedDialog.h"

class AppSettings;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

// "Option Page": the default folder for converted files, checked (and created) as soon as
// the edit box is left, the engine's priority, how many files convert at once, whether outputs
// keep their source's date, and the list of media extensions with the recorded associations.
// OK stores what changed; the association list is shown only.
// Set up completely by the constructor.
class COptionsDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static constexpr int kSavePathId = 1027;
    static constexpr int kSelectId = 1028;
    static constexpr int kRealTimeId = 1029;
    static constexpr int kHighId = 1030;
    static constexpr int kNormalId = 1031;
    static constexpr int kIdleId = 1032;
    static constexpr int kSelectAllId = 1068;
    static constexpr int kOkId = 1067;
    static constexpr int kCancelId = 2;
    static constexpr int kPriorityGroupId = 1158;
    static constexpr int kSavePathLabelId = 1174;
    static constexpr int kAssociationGroupId = 1200;
    static constexpr int kAssociationListId = 1202;
    static constexpr int kClearAllId = 1203;
    static constexpr int kKeepDateId = 1205;
    static constexpr int kJobsLabelId = 1210;
    static constexpr int kJobsId = 1211;

    explicit COptionsDialog(AppSettings &settings, QWidget *parent = nullptr);
    ~COptionsDialog() override;

    QString SavePath() const { return m_savePath; }
    int PriorityIndex() const { return m_priority; }
    // Conversions at once as chosen: 0 automatic, else 1 to 8.
    int Jobs() const;
    QListWidget *AssociationList() const { return m_associations; }

    // The handlers, public so that tests reach them as the controls do.
    // The save path's check when its box loses the focus; false when it was refused.
    bool OnSavePathKillFocus();
    void OnSelect();
    void OnSelectAll();
    void OnClearAll();
    void OnOk();

private:
    void SetTexts();
    void SetAllChecks(bool checked);

    AppSettings &m_settings;
    QString m_savePath;
    int m_priority = -1;
    // The last text the folder check refused; OK does not store it.
    QString m_refusedPath;
    bool m_hasRefusal = false;

    QLineEdit *m_savePathEdit = nullptr;
    QButtonGroup *m_priorityButtons = nullptr;
    QCheckBox *m_keepDate = nullptr;
    QListWidget *m_associations = nullptr;
    QComboBox *m_jobs = nullptr;
};
