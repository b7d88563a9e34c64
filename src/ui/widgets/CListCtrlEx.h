#pragma once
#include <QColor>
#include <QHash>
#include <QRect>
#include <QTableView>

class QProgressBar;

// The task list: a report list over a table model, with per-row text and background
// colours kept by row index, and one progress bar that can be shown inside a row's cell.
class CListCtrlEx : public QTableView
{
    Q_OBJECT
public:
    static constexpr QRgb kUnchanged = 0xFFFFFFFF;

    explicit CListCtrlEx(QWidget *parent = nullptr);

    // Colours as 0x00BBGGRR; kUnchanged leaves that colour as it is.
    void SetItemColor(int row, QRgb textColor, QRgb backgroundColor);
    // The text colour of rows first..last, with one repaint.
    void SetRowsTextColor(int first, int last, QRgb textColor);
    bool HasTextColor(int row) const { return m_textColors.contains(row); }
    QColor TextColor(int row) const;
    QColor BackgroundColor(int row) const;

    // Progress bar inside the cells of one column.
    void CreateRowProgress(int column);
    void UpdateRowProgress();
    void HideRowProgress();
    QProgressBar *RowProgressBar() const { return m_progressBar; }

    // Rows converted at the same time each show a bar of their own, by slot: slot 0 is
    // the bar the members below drive, slots 1 and up are further bars made on demand.
    // A percent of 0 or 100 and more leaves the bar's value as it is.
    void SetRowProgress(int slot, int row, int percent, const QString &accessibleName);
    void HideRowProgress(int slot);
    QProgressBar *RowProgressBar(int slot) const;
    // Bars shown now, in any slot.
    int ShownRowProgressCount() const;

    int m_progressColumn = -1;
    int m_progressRow = -1;
    unsigned m_percent = 0;
    unsigned m_lastPercent = 0;
    bool m_showProgress = false;

    // Rows as the window uses them.
    int rowCount() const;
    int columnCount() const;
    QString GetItemText(int row, int column) const;
    bool IsRowSelected(int row) const;
    void SetRowSelected(int row, bool selected);
    // Adds the rows first..last to the selection as one range; nothing when last < first.
    void SetRowsSelected(int first, int last);
    int SelectedCount() const;
    // Row whose given column holds text; -1 when none.
    int FindRow(int column, const QString &text) const;

signals:
    // A left click anywhere on the list, after the selection has followed it.
    void leftClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QHash<int, QRgb> m_textColors;
    QHash<int, QRgb> m_backgroundColors;
    // Where a bar sits in a row's cell of the progress column; empty when off the list.
    QRect BarRect(int row) const;
    struct ExtraBar
    {
        QProgressBar *bar = nullptr;
        int row = -1;
        QRect lastRect;
    };
    void PlaceExtraBar(ExtraBar &extra);

    QProgressBar *m_progressBar = nullptr;
    QRect m_lastBarRect;
    QHash<int, ExtraBar> m_extraBars; // by slot, 1 and up
};
