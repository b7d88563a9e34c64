#pragma once

// What a menu needs of the window that owns it: running a command, and the
// enabled/checked state of a command's item when its menu drops down.
class CommandTarget
{
public:
    struct State
    {
        bool enabled = true;
        bool checkable = false;
        bool checked = false;
    };
    virtual ~CommandTarget() = default;
    virtual void OnCommand(int id) = 0;
    virtual State QueryCommand(int id) const = 0;
};
