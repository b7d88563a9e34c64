#pragma once
#include <QString>

class CurrentProfile;
class QWidget;
class TaskList;

// What the "Personal Set" dialog needs of the window that opens it.
class PersonalSetHost
{
public:
    virtual ~PersonalSetHost() = default;
    virtual TaskList &Tasks() = 0;
    virtual CurrentProfile &Profile() = 0;
    // The destination folder new tasks take.
    virtual QString GlobalDestination() const = 0;
    // Draws a changed task again (and shows its own parameters when it has them).
    virtual void ShowTaskRow(int id) = 0;
    virtual QWidget *DialogParent() = 0;
};
