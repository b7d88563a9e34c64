#pragma once
#include <QColor>
#include <QStringList>
#include <QTreeWidgetItem>
#include <QWidget>
#include <memory>

#include "ui/widgets/ColorRef.h"

class QLabel;
class QFrame;
class QTreeWidget;
class PropertyGrid;

struct PropertyGridColors
{
    QColor background;
    QColor text;
    QColor groupBackground;
    QColor groupText;
    QColor descriptionBackground;
    QColor descriptionText;
    QColor lines;
};

// One row of a PropertyGrid: a top-level group, or a property with a label, a text
// value, a description and optionally a drop-down list of option texts. A property also
// carries a key of its own, independent of the label it shows (labels are translated,
// keys are not).
class PropertyGridItem : public QTreeWidgetItem
{
public:
    // A property. Add it to a group with PropertyGrid::AddProperty.
    PropertyGridItem(const QString &label, const QString &value, const QString &description);

    bool IsGroup() const { return m_group; }
    QString GetName() const; // the label
    void SetName(const QString &label);
    QString GetKey() const { return m_key; }
    void SetKey(const QString &key) { m_key = key; }

    QString GetValue() const;
    void SetValue(const QString &value);
    // The value given before the property met the user; a value that differs from it is "modified".
    QString GetOriginalValue() const { return m_original; }
    bool IsModified() const { return !m_group && GetValue() != m_original; }

    QString GetDescription() const { return m_description; }
    void SetDescription(const QString &description) { m_description = description; }

    // Adds an option text to the drop-down list; a text already there is not added again.
    void AddOption(const QString &option);
    const QStringList &GetOptions() const { return m_options; }
    void RemoveAllOptions() { m_options.clear(); }

    // Whether the user may type a value of their own (else only the options can be chosen).
    void AllowEdit(bool allow = true) { m_allowEdit = allow; }
    bool IsAllowEdit() const { return m_allowEdit; }

    void Enable(bool enable = true);
    bool IsEnabled() const { return m_enabled; }

    int GetSubItemsCount() const { return childCount(); }
    PropertyGridItem *GetSubItem(int index) const;
    PropertyGridItem *GetParentItem() const;
    PropertyGrid *GetGrid() const;

    // A screen reader reads a value cell as the property's label and value, and the
    // description as the cell's description.
    QVariant data(int column, int role) const override;

private:
    friend class PropertyGrid;
    struct GroupTag {};
    PropertyGridItem(GroupTag, const QString &label);
    void refreshFont();

    bool m_group = false;
    QString m_key;
    QString m_description;
    QStringList m_options;
    QString m_original;
    bool m_allowEdit = true;
    bool m_enabled = true;
    bool m_markModified = true;
};

// A two-column property grid ("Property" / "Value") with groups, list and text properties,
// a description area under it, custom colours and a flat look. Values are edited in place:
// a drop-down for properties with options, a line edit otherwise. Every change the user
// makes is announced by PropertyChanged.
class PropertyGrid : public QWidget
{
    Q_OBJECT
public:
    explicit PropertyGrid(QWidget *parent = nullptr);
    ~PropertyGrid() override;

    void RemoveAll();
    // A new top-level group; lays the grid out again unless told not to.
    PropertyGridItem *AddGroup(const QString &label, bool adjustLayout = true);
    // Adds a property to a group and takes ownership. Returns the property.
    PropertyGridItem *AddProperty(PropertyGridItem *group, std::unique_ptr<PropertyGridItem> property);

    int GetPropertyCount() const; // top-level rows (the groups)
    PropertyGridItem *GetProperty(int index) const;
    // The first property whose key is key, in any group.
    PropertyGridItem *FindByKey(const QString &key) const;

    void ExpandAll(bool expand = true);
    void AdjustLayout();

    void SetCustomColors(const PropertyGridColors &colors);
    const PropertyGridColors &GetCustomColors() const { return m_colors; }
    void EnableGrid(bool enable) { setEnabled(enable); }

    void EnableHeaderCtrl(bool enable);
    void EnableDescriptionArea(bool enable);
    bool IsDescriptionAreaEnabled() const;
    void SetFlatLook(bool flat);
    bool IsFlatLook() const { return m_flat; }
    void MarkModifiedProperties(bool mark);
    bool IsMarkModifiedProperties() const { return m_markModified; }

    // Applies a value as the user's edit would: refused (false) when the grid or the
    // property is disabled, the item is a group, or the text is not one of the options
    // while free typing is forbidden. Emits PropertyChanged when the value changed.
    bool CommitValue(PropertyGridItem *property, const QString &value);
    // Opens the in-place editor of a property's value, as a click on it does.
    void EditValue(PropertyGridItem *property);

    QTreeWidget *tree() const { return m_tree; }
    QString DescriptionTitle() const;
    QString DescriptionText() const;

signals:
    void PropertyChanged(PropertyGridItem *property);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyColors();
    void showDescription(QTreeWidgetItem *item);

    QTreeWidget *m_tree = nullptr;
    QFrame *m_descriptionFrame = nullptr;
    QLabel *m_descriptionTitle = nullptr;
    QLabel *m_descriptionText = nullptr;
    PropertyGridColors m_colors;
    bool m_flat = true;
    bool m_markModified = true;
};
