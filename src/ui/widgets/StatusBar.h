#pragma once
#include <QLabel>
#include <QStatusBar>
#include <QVector>

// A status bar with a fixed number of text panes addressed by index.
class StatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusBar(int paneCount, QWidget *parent = nullptr);
    void SetPaneText(int index, const QString &text);
    QString PaneText(int index) const;
    int PaneCount() const { return int(m_panes.size()); }

private:
    QVector<QLabel *> m_panes;
};
