#pragma once
#include "ui/widgets/ThemedDialog.h"

class CurrentProfile;
class PropertyGrid;
class PropertyGridItem;
class QPushButton;

// The "Detail" dialog: the current profile's parameters in a grid, edited in place
// (Cancel keeps the edits already made); Save keeps them as the user's own copy of the
// profile. Set up completely by the constructor.
class CDetailDialog : public ThemedDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 162;
    static constexpr int kGridId = 1010; // the grid stands on the template's placeholder
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kSaveId = 1011;

    CDetailDialog(CurrentProfile &profile, const QString &title, QWidget *parent = nullptr);

    PropertyGrid *Grid() const { return m_grid; }

private:
    void OnPropertyChanged(PropertyGridItem *property);
    void OnSave();

    CurrentProfile &m_profile;
    PropertyGrid *m_grid = nullptr;
    QPushButton *m_save = nullptr;
};

// The Detail button: runs the dialog through the Prompter with the profile selector's
// text as its title; after OK the current summary is made again from the tree.
// Returns the dialog's result.
int RunDetailDialog(QWidget *parent, CurrentProfile &profile, const QString &title);
