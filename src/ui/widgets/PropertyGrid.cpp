#include "ui/widgets/PropertyGrid.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kItemType = QTreeWidgetItem::UserType + 17;

QColor blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// The tree inside the grid: paints the margin beside each row in the grid's colours.
class PropertyTree : public QTreeWidget
{
public:
    PropertyTree(PropertyGrid *grid, QWidget *parent) : QTreeWidget(parent), m_grid(grid) {}

    PropertyGridItem *propertyAt(const QModelIndex &index) const
    {
        QTreeWidgetItem *item = itemFromIndex(index);
        return item && item->type() == kItemType ? static_cast<PropertyGridItem *>(item) : nullptr;
    }

    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QTreeWidget::resizeEvent(event);
        m_grid->AdjustLayout();
    }

    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override
    {
        painter->fillRect(rect, m_grid->GetCustomColors().groupBackground);
        QTreeWidget::drawBranches(painter, rect, index);
    }

private:
    PropertyGrid *m_grid;
};

class PropertyDelegate : public QStyledItemDelegate
{
public:
    PropertyDelegate(PropertyGrid *grid, PropertyTree *tree) : QStyledItemDelegate(tree), m_grid(grid), m_tree(tree) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        PropertyGridItem *item = index.column() == 1 ? m_tree->propertyAt(index) : nullptr;
        if (!item || item->IsGroup() || !item->IsEnabled() || !m_grid->isEnabled())
            return nullptr;
        if (!item->GetOptions().isEmpty()) {
            auto *combo = new QComboBox(parent);
            combo->setAccessibleName(item->GetName());
            combo->setEditable(item->IsAllowEdit());
            combo->addItems(item->GetOptions());
            combo->setFrame(false);
            // Picking an option is the whole edit: commit at once, as a drop-down list does.
            connect(combo, &QComboBox::activated, this, [this, combo] {
                auto *self = const_cast<PropertyDelegate *>(this);
                emit self->commitData(combo);
                emit self->closeEditor(combo);
            });
            return combo;
        }
        if (!item->IsAllowEdit())
            return nullptr;
        auto *edit = new QLineEdit(parent);
        edit->setAccessibleName(item->GetName());
        edit->setFrame(false);
        return edit;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const PropertyGridItem *item = m_tree->propertyAt(index);
        const QString value = item ? item->GetValue() : QString();
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            const int found = combo->findText(value);
            if (combo->isEditable()) {
                combo->setCurrentIndex(found);
                combo->setEditText(value);
            } else {
                combo->setCurrentIndex(found);
            }
        } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            edit->setText(value);
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        PropertyGridItem *item = m_tree->propertyAt(index);
        if (!item)
            return;
        QString text;
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            if (!combo->isEditable() && combo->currentIndex() < 0)
                return; // nothing chosen
            text = combo->currentText();
        } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            text = edit->text();
        } else {
            return;
        }
        m_grid->CommitValue(item, text);
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        editor->setGeometry(option.rect.adjusted(1, 0, -1, -1));
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), option.fontMetrics.height()) + 6);
        return size;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const PropertyGridItem *item = m_tree->propertyAt(index);
        if (!item) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index); // brings in the item's font (bold when modified)
        const PropertyGridColors &colors = m_grid->GetCustomColors();
        const bool group = item->IsGroup();
        QColor background = group ? colors.groupBackground : colors.background;
        QColor foreground = group ? colors.groupText : colors.text;
        if (!group && (!item->IsEnabled() || !m_grid->isEnabled()))
            foreground = blend(foreground, background);
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        if (selected && !group && index.column() == 0 && m_grid->isEnabled()) {
            background = option.palette.color(QPalette::Highlight);
            foreground = option.palette.color(QPalette::HighlightedText);
        }

        painter->save();
        painter->fillRect(option.rect, background);
        QFont font = opt.font;
        if (group)
            font.setBold(true);
        painter->setFont(font);
        painter->setPen(foreground);
        const QRect textRect = option.rect.adjusted(4, 0, -4, 0);
        const QString text = QFontMetrics(font).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                           textRect.width());
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);

        painter->setPen(colors.lines);
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        if (!group && index.column() == 0)
            painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

private:
    PropertyGrid *m_grid;
    PropertyTree *m_tree;
};

} // namespace

// ---- PropertyGridItem ----

PropertyGridItem::PropertyGridItem(const QString &label, const QString &value, const QString &description)
    : QTreeWidgetItem(kItemType), m_description(description), m_original(value)
{
    setText(0, label);
    setText(1, value);
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
}

PropertyGridItem::PropertyGridItem(GroupTag, const QString &label) : QTreeWidgetItem(kItemType), m_group(true)
{
    setText(0, label);
    setFlags(Qt::ItemIsEnabled);
}

QVariant PropertyGridItem::data(int column, int role) const
{
    if (role == Qt::AccessibleTextRole && column == 1 && !m_group)
        return QStringLiteral("%1: %2").arg(GetName(), GetValue());
    if (role == Qt::AccessibleDescriptionRole && !m_group)
        return m_description;
    return QTreeWidgetItem::data(column, role);
}

QString PropertyGridItem::GetName() const
{
    return text(0);
}

void PropertyGridItem::SetName(const QString &label)
{
    setText(0, label);
}

QString PropertyGridItem::GetValue() const
{
    return text(1);
}

void PropertyGridItem::SetValue(const QString &value)
{
    if (m_group)
        return;
    setText(1, value);
    refreshFont();
}

void PropertyGridItem::AddOption(const QString &option)
{
    if (!m_options.contains(option))
        m_options << option;
}

void PropertyGridItem::Enable(bool enable)
{
    m_enabled = enable;
    if (!m_group)
        setFlags(enable ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable) : Qt::ItemIsEnabled);
    if (QTreeWidget *tree = treeWidget())
        tree->viewport()->update();
}

PropertyGridItem *PropertyGridItem::GetSubItem(int index) const
{
    QTreeWidgetItem *item = child(index);
    return item && item->type() == kItemType ? static_cast<PropertyGridItem *>(item) : nullptr;
}

PropertyGridItem *PropertyGridItem::GetParentItem() const
{
    QTreeWidgetItem *item = parent();
    return item && item->type() == kItemType ? static_cast<PropertyGridItem *>(item) : nullptr;
}

PropertyGrid *PropertyGridItem::GetGrid() const
{
    QTreeWidget *tree = treeWidget();
    return tree ? qobject_cast<PropertyGrid *>(tree->parentWidget()) : nullptr;
}

void PropertyGridItem::refreshFont()
{
    const PropertyGrid *grid = GetGrid();
    const bool mark = grid ? grid->IsMarkModifiedProperties() : true;
    QFont f = font(1);
    f.setBold(mark && IsModified());
    setFont(1, f);
}

// ---- PropertyGrid ----

PropertyGrid::PropertyGrid(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *tree = new PropertyTree(this, this);
    m_tree = tree;
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    m_tree->setItemDelegate(new PropertyDelegate(this, tree));
    m_tree->setRootIsDecorated(true);
    m_tree->setIndentation(14);
    m_tree->setUniformRowHeights(true);
    m_tree->setAllColumnsShowFocus(false);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_tree->header()->setSectionsMovable(false);
    m_tree->header()->setStretchLastSection(true);
    layout->addWidget(m_tree, 1);

    m_descriptionFrame = new QFrame(this);
    auto *descriptionLayout = new QVBoxLayout(m_descriptionFrame);
    descriptionLayout->setContentsMargins(6, 4, 6, 4);
    descriptionLayout->setSpacing(2);
    m_descriptionTitle = new QLabel(m_descriptionFrame);
    QFont bold = m_descriptionTitle->font();
    bold.setBold(true);
    m_descriptionTitle->setFont(bold);
    m_descriptionText = new QLabel(m_descriptionFrame);
    m_descriptionText->setWordWrap(true);
    m_descriptionText->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    descriptionLayout->addWidget(m_descriptionTitle);
    descriptionLayout->addWidget(m_descriptionText, 1);
    m_descriptionFrame->setFixedHeight(fontMetrics().height() * 4 + 12);
    m_descriptionFrame->setAutoFillBackground(true);
    layout->addWidget(m_descriptionFrame);

    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { showDescription(current); });

    // Default colours: a plain light grid until the owner sets its own.
    m_colors = {ColorFromBgr(0xFFFFFF), ColorFromBgr(0x000000), ColorFromBgr(0xEDEDED), ColorFromBgr(0x000000),
                ColorFromBgr(0xEDEDED), ColorFromBgr(0x000000), ColorFromBgr(0xC0C0C0)};
    SetFlatLook(true);
    applyColors();
}

PropertyGrid::~PropertyGrid() = default;

void PropertyGrid::RemoveAll()
{
    m_tree->clear();
    showDescription(nullptr);
}

PropertyGridItem *PropertyGrid::AddGroup(const QString &label, bool adjustLayout)
{
    auto *group = new PropertyGridItem(PropertyGridItem::GroupTag{}, label);
    m_tree->addTopLevelItem(group);
    group->setFirstColumnSpanned(true);
    if (adjustLayout)
        AdjustLayout();
    return group;
}

PropertyGridItem *PropertyGrid::AddProperty(PropertyGridItem *group, std::unique_ptr<PropertyGridItem> property)
{
    if (!group || !property)
        return nullptr;
    PropertyGridItem *item = property.release();
    item->m_original = item->GetValue();
    group->addChild(item);
    item->refreshFont();
    return item;
}

int PropertyGrid::GetPropertyCount() const
{
    return m_tree->topLevelItemCount();
}

PropertyGridItem *PropertyGrid::GetProperty(int index) const
{
    QTreeWidgetItem *item = m_tree->topLevelItem(index);
    return item && item->type() == kItemType ? static_cast<PropertyGridItem *>(item) : nullptr;
}

PropertyGridItem *PropertyGrid::FindByKey(const QString &key) const
{
    for (int g = 0; g < GetPropertyCount(); ++g) {
        PropertyGridItem *group = GetProperty(g);
        for (int i = 0; group && i < group->GetSubItemsCount(); ++i)
            if (PropertyGridItem *item = group->GetSubItem(i); item && item->GetKey() == key)
                return item;
    }
    return nullptr;
}

void PropertyGrid::ExpandAll(bool expand)
{
    if (expand)
        m_tree->expandAll();
    else
        m_tree->collapseAll();
}

void PropertyGrid::AdjustLayout()
{
    // The labels take a bit less than half of the width, the values the rest.
    const int width = m_tree->viewport()->width();
    if (width > 0)
        m_tree->header()->resizeSection(0, qMax(60, width * 45 / 100));
    m_tree->doItemsLayout();
    m_tree->viewport()->update();
}

void PropertyGrid::SetCustomColors(const PropertyGridColors &colors)
{
    m_colors = colors;
    applyColors();
}

void PropertyGrid::EnableHeaderCtrl(bool enable)
{
    m_tree->setHeaderHidden(!enable);
}

void PropertyGrid::EnableDescriptionArea(bool enable)
{
    m_descriptionFrame->setVisible(enable);
}

bool PropertyGrid::IsDescriptionAreaEnabled() const
{
    return !m_descriptionFrame->isHidden();
}

void PropertyGrid::SetFlatLook(bool flat)
{
    m_flat = flat;
    m_tree->setFrameShape(flat ? QFrame::NoFrame : QFrame::StyledPanel);
    m_descriptionFrame->setFrameShape(flat ? QFrame::NoFrame : QFrame::StyledPanel);
    m_descriptionFrame->setFrameShadow(QFrame::Sunken);
    applyColors();
}

void PropertyGrid::MarkModifiedProperties(bool mark)
{
    m_markModified = mark;
    for (int g = 0; g < GetPropertyCount(); ++g) {
        PropertyGridItem *group = GetProperty(g);
        for (int i = 0; group && i < group->GetSubItemsCount(); ++i)
            group->GetSubItem(i)->refreshFont();
    }
}

bool PropertyGrid::CommitValue(PropertyGridItem *property, const QString &value)
{
    if (!property || property->IsGroup() || !isEnabled() || !property->IsEnabled())
        return false;
    if (!property->IsAllowEdit()) {
        // Without free typing only an option may be chosen; a property without options is read-only.
        if (!property->GetOptions().contains(value))
            return false;
    }
    if (property->GetValue() == value)
        return true;
    property->SetValue(value);
    emit PropertyChanged(property);
    return true;
}

void PropertyGrid::EditValue(PropertyGridItem *property)
{
    if (!property || property->IsGroup())
        return;
    m_tree->setCurrentItem(property, 1); // may already open the editor
    if (!static_cast<PropertyTree *>(m_tree)->isEditing())
        m_tree->editItem(property, 1);
}

QString PropertyGrid::DescriptionTitle() const
{
    return m_descriptionTitle->text();
}

QString PropertyGrid::DescriptionText() const
{
    return m_descriptionText->text();
}

void PropertyGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    AdjustLayout();
}

void PropertyGrid::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    AdjustLayout();
}

void PropertyGrid::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        m_tree->viewport()->update();
}

void PropertyGrid::applyColors()
{
    QPalette treePalette = m_tree->palette();
    treePalette.setColor(QPalette::Base, m_colors.background);
    treePalette.setColor(QPalette::AlternateBase, m_colors.background);
    treePalette.setColor(QPalette::Text, m_colors.text);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        treePalette.setColor(group, QPalette::Base, m_colors.background);
        treePalette.setColor(group, QPalette::Text, m_colors.text);
    }
    m_tree->setPalette(treePalette);

    QPalette descriptionPalette = m_descriptionFrame->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        descriptionPalette.setColor(group, QPalette::Window, m_colors.descriptionBackground);
        descriptionPalette.setColor(group, QPalette::WindowText, m_colors.descriptionText);
    }
    m_descriptionFrame->setPalette(descriptionPalette);
    m_descriptionTitle->setPalette(descriptionPalette);
    m_descriptionText->setPalette(descriptionPalette);
    m_tree->viewport()->update();
    m_descriptionFrame->update();
}

void PropertyGrid::showDescription(QTreeWidgetItem *item)
{
    const PropertyGridItem *property =
        item && item->type() == kItemType ? static_cast<const PropertyGridItem *>(item) : nullptr;
    m_descriptionTitle->setText(property ? property->GetName() : QString());
    m_descriptionText->setText(property ? property->GetDescription() : QString());
}
