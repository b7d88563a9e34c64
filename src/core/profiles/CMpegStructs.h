#pragma once
#include <QString>
#include <map>
#include <memory>

#include "core/profiles/ParamCell.h"

// Owns the parameter tree of one profile, read from its parameter file.
class CMpegStructs
{
public:
    // A broken file cannot make a load run for ever: node sections beyond this many are not read.
    static constexpr int kMaxNodes = 1000;

    CMpegStructs() = default;
    CMpegStructs(CMpegStructs &&) noexcept = default;
    CMpegStructs &operator=(CMpegStructs &&) noexcept = default;

    // Replaces the tree with the one the file describes. Always true: a missing or
    // empty file leaves a tree that holds only the root.
    bool LoadFromFile(const QString &path);

    ParamCell *GetRoot() const { return m_pRoot.get(); }

    // FindCellByShowName over this container's tree when root is null.
    ParamCell *FindCellByShowName(ParamCell *root, const QString &text) const;

    std::map<QString, QString> m_unitMap; // cell name -> unit text
    QString m_strValues;                  // [allset] values, kept as read
    QString m_strTargetType;              // [allset] TargetType, kept so a saved copy has it

private:
    std::unique_ptr<ParamCell> m_pRoot;
};

// Depth-first, parent before children: the first cell whose name equals name exactly.
ParamCell *FindCell(ParamCell *start, const QString &name);
const ParamCell *FindCell(const ParamCell *start, const QString &name);

// Among the root's direct children only: the first whose non-empty show name equals text exactly.
ParamCell *FindCellByShowName(ParamCell *root, const QString &text);

// Attaches cell as the last child of its father (found by strFatherName from root).
// A cell without a father in the tree, or whose father is full, is freed; false then.
bool AddCell(ParamCell *root, std::unique_ptr<ParamCell> cell);

// Frees a cell and everything below it; null is fine.
void FreeCells(std::unique_ptr<ParamCell> &cell);

// An independent copy of a tree; null for a null root. The caller owns the copy.
std::unique_ptr<ParamCell> CloneCells(const ParamCell *root);

// The aspect mode the tree's "aspect" cell selects; -1 when there is none.
int GetAspectMode(const ParamCell *root);
// The aspect mode an entry of the "aspect" cell stands for: its value part as a number.
int AspectModeOfEntry(const QString &entry);
