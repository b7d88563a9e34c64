#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/FixedText.h"

// One option of a profile. A cell owns its children; the field names follow the
// parameter file's keys.
struct ParamCell
{
    static constexpr int kMaxChildren = 30;
    static constexpr int kMaxListEntries = 40;

    // Value types
    static constexpr int kList = 1;
    static constexpr int kNumber = 2;
    static constexpr int kRoot = 3;
    static constexpr int kText = 4;

    // UsedType values of list cells
    static constexpr int kNeverEmitted = 2;
    static constexpr int kUserValue = 102;

    // nUserMode bits
    static constexpr int kShown = 1;
    static constexpr int kDisabled = 2;

    FixedText<255> strCelltName;
    FixedText<255> strShowName;
    FixedText<255> strFatherName;
    FixedText<20> strLocal;
    bool AlowEdit = false;
    std::int32_t nUserMode = 0;
    FixedText<256> strOption;
    std::int32_t nValueType = 0;
    std::int32_t nLevel = 0;
    bool Enable = false;
    std::int32_t UsedType = 0;
    FixedText<256> Help;
    float fValue = 0;
    float fMAx = 0;
    float fMin = 0;
    float fStep = 0;
    FixedText<10> strUnit;
    std::int32_t nStrArraySize = 0;
    std::int32_t sDefault = 0;
    std::array<FixedText<200>, kMaxListEntries> sValues;
    FixedText<200> SValue;
    std::vector<std::unique_ptr<ParamCell>> pChildren; // file order, at most kMaxChildren

    ParamCell() = default;
    ParamCell(const ParamCell &) = delete;
    ParamCell &operator=(const ParamCell &) = delete;

    int nChildCount() const { return int(pChildren.size()); }

    // Appends a child; a full cell refuses it (and the child is freed with the argument).
    bool AddChild(std::unique_ptr<ParamCell> child);

    // List entry by index; an index outside the 40 slots reads as empty, like a slot never filled.
    QString Entry(int index) const;
    // Number of entries actually held: nStrArraySize limited to 0..40.
    int EntryCount() const;
    // The current value of a list cell: the user's text when UsedType is 102, else entry sDefault.
    QString CurrentListValue() const;

    // A deep copy: every field, and copies of every child.
    std::unique_ptr<ParamCell> Clone() const;

    // The root of a tree: named "TOP", enabled, of the root type, everything else empty.
    static std::unique_ptr<ParamCell> MakeRoot();
};

// The engine part of a list entry ("mpeg4|MPEG-4" gives "mpeg4") and the part the user
// sees ("MPEG-4"), as the option builder and the grid read them.
QString EntryEngineValue(const QString &entry);
QString EntryShownText(const QString &entry);

// True for a cell whose unit counts in thousands ("Kb/s"): the grid shows 128 for 128000.
bool HasKiloUnit(const ParamCell &cell);
// The text the grid shows for the value a user typed into a list cell (UsedType 102): the
// frame size and the aspect as typed, other values as a whole number and the unit.
QString UserValueText(const ParamCell &cell);
