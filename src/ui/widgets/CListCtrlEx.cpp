#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/ColorRef.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyledItemDelegate>
#include <vector>

#include "ui/widgets/ControlId.h"

namespace {
// Paints each row in the colours the list keeps for its index.
class RowColorDelegate : public QStyledItemDelegate
{
public:
    explicit RowColorDelegate(CListCtrlEx *list) : QStyledItemDelegate(list), m_list(list) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int row = index.row();
        if (m_list->HasTextColor(row)) {
            const QColor c = m_list->TextColor(row);
            option->palette.setColor(QPalette::Text, c);
            option->palette.setColor(QPalette::HighlightedText, c.lightness() > 200 ? Qt::black : Qt::white);
        }
        const QColor bg = m_list->BackgroundColor(row);
        if (bg.isValid())
            option->backgroundBrush = bg;
    }

private:
    CListCtrlEx *m_list;
};
} // namespace

CListCtrlEx::CListCtrlEx(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new RowColorDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setIconSize(QSize(16, 16));
    // Tab leaves the list for the next control; the arrow keys move within it.
    setTabKeyNavigation(false);
}

void CListCtrlEx::SetItemColor(int row, QRgb textColor, QRgb backgroundColor)
{
    if (textColor != kUnchanged)
        m_textColors.insert(row, textColor);
    if (backgroundColor != kUnchanged)
        m_backgroundColors.insert(row, backgroundColor);
    if (row >= 0 && row < rowCount()) {
        const QRect r = visualRect(model()->index(row, 0)).united(visualRect(model()->index(row, columnCount() - 1)));
        viewport()->update(QRect(0, r.top(), viewport()->width(), r.height()));
    }
}

void CListCtrlEx::SetRowsTextColor(int first, int last, QRgb textColor)
{
    for (int row = first; row <= last; ++row)
        m_textColors.insert(row, textColor);
    viewport()->update();
}

QColor CListCtrlEx::TextColor(int row) const
{
    const auto it = m_textColors.constFind(row);
    return it == m_textColors.constEnd() ? QColor() : ColorFromBgr(*it);
}

QColor CListCtrlEx::BackgroundColor(int row) const
{
    const auto it = m_backgroundColors.constFind(row);
    return it == m_backgroundColors.constEnd() ? QColor() : ColorFromBgr(*it);
}

void CListCtrlEx::CreateRowProgress(int column)
{
    if (m_progressBar)
        return;
    m_progressColumn = column;
    m_progressBar = new QProgressBar(viewport());
    SetControlId(m_progressBar, 1025);
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
}

QRect CListCtrlEx::BarRect(int row) const
{
    if (row < 0 || row >= rowCount() || m_progressColumn < 0)
        return {};
    // Inside the cell, a little inset so the grid lines stay visible.
    return visualRect(model()->index(row, m_progressColumn)).adjusted(2, 2, -2, -2);
}

void CListCtrlEx::UpdateRowProgress()
{
    if (!m_progressBar)
        return;
    for (ExtraBar &extra : m_extraBars)
        PlaceExtraBar(extra);
    if (const QRect bar = BarRect(m_progressRow); bar.isValid()) {
        if (bar != m_lastBarRect) {
            m_lastBarRect = bar;
            m_progressBar->setGeometry(bar);
        }
    }
    if (!m_showProgress) {
        m_progressBar->hide();
        return;
    }
    if (m_percent > 0 && m_percent < 100) {
        if (m_progressBar->isHidden())
            m_progressBar->show();
        m_progressBar->setValue(int(m_percent));
        m_lastPercent = m_percent;
    }
}

void CListCtrlEx::HideRowProgress()
{
    if (m_progressBar)
        m_progressBar->hide();
}

void CListCtrlEx::PlaceExtraBar(ExtraBar &extra)
{
    const QRect rect = BarRect(extra.row);
    if (rect.isValid() && rect != extra.lastRect) {
        extra.lastRect = rect;
        extra.bar->setGeometry(rect);
    }
}

void CListCtrlEx::SetRowProgress(int slot, int row, int percent, const QString &accessibleName)
{
    if (!m_progressBar)
        return;
    QProgressBar *bar = m_progressBar;
    if (slot == 0) {
        m_progressRow = row;
        m_percent = unsigned(std::max(0, percent));
        m_showProgress = true;
        UpdateRowProgress();
    } else {
        ExtraBar &extra = m_extraBars[slot];
        if (!extra.bar) {
            extra.bar = new QProgressBar(viewport());
            extra.bar->setRange(0, 100);
            extra.bar->setTextVisible(false);
            extra.bar->hide();
        }
        bar = extra.bar;
        extra.row = row;
        PlaceExtraBar(extra);
        if (percent > 0 && percent < 100) {
            bar->setValue(percent);
            bar->show();
        }
    }
    bar->setAccessibleName(accessibleName);
}

void CListCtrlEx::HideRowProgress(int slot)
{
    if (slot == 0) {
        m_showProgress = false;
        HideRowProgress();
    } else if (const auto it = m_extraBars.constFind(slot); it != m_extraBars.constEnd()) {
        it->bar->hide();
    }
}

QProgressBar *CListCtrlEx::RowProgressBar(int slot) const
{
    return slot == 0 ? m_progressBar : m_extraBars.value(slot).bar;
}

int CListCtrlEx::ShownRowProgressCount() const
{
    int shown = m_progressBar && !m_progressBar->isHidden() ? 1 : 0;
    for (const ExtraBar &extra : m_extraBars)
        shown += extra.bar->isHidden() ? 0 : 1;
    return shown;
}

void CListCtrlEx::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    UpdateRowProgress();
    viewport()->update();
}

int CListCtrlEx::rowCount() const
{
    return model() ? model()->rowCount() : 0;
}

int CListCtrlEx::columnCount() const
{
    return model() ? model()->columnCount() : 0;
}

QString CListCtrlEx::GetItemText(int row, int column) const
{
    return model() ? model()->index(row, column).data().toString() : QString();
}

bool CListCtrlEx::IsRowSelected(int row) const
{
    return selectionModel()->isRowSelected(row, QModelIndex());
}

void CListCtrlEx::SetRowSelected(int row, bool selected)
{
    if (row < 0 || row >= rowCount())
        return;
    const QItemSelection range(model()->index(row, 0), model()->index(row, columnCount() - 1));
    selectionModel()->select(range, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void CListCtrlEx::SetRowsSelected(int first, int last)
{
    if (first < 0 || last < first || last >= rowCount())
        return;
    const QItemSelection range(model()->index(first, 0), model()->index(last, columnCount() - 1));
    selectionModel()->select(range, QItemSelectionModel::Select);
}

int CListCtrlEx::SelectedCount() const
{
    // Rows selected one by one make one range each; count rows once each, in linear time.
    std::vector<char> seen(size_t(std::max(0, rowCount())), 0);
    int count = 0;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        for (int row = std::max(0, range.top()); row <= range.bottom() && row < rowCount(); ++row)
            if (!seen[size_t(row)]) {
                seen[size_t(row)] = 1;
                ++count;
            }
    return count;
}

int CListCtrlEx::FindRow(int column, const QString &text) const
{
    for (int r = 0; r < rowCount(); ++r)
        if (GetItemText(r, column) == text)
            return r;
    return -1;
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit leftClicked();
}

void CListCtrlEx::keyReleaseEvent(QKeyEvent *event)
{
    QTableView::keyReleaseEvent(event);
    // Walking the list with the keyboard shows the task under the cursor as a click would.
    switch (event->key()) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
    case Qt::Key_Home: case Qt::Key_End: case Qt::Key_Space:
        emit leftClicked();
        break;
    default:
        break;
    }
}
