#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <QStandardItemModel>
#include <QtTest>
#include <cmath>

#include "ui/widgets/CListCtrlEx.h"
#include "ui/widgets/ParameterEditor.h"
#include "ui/widgets/Looks.h"
#include "ui/widgets/PropertyGrid.h"
#include "ui/widgets/ThemedDialog.h"

namespace {

double contrast(const QColor &a, const QColor &b) // WCAG contrast ratio
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    auto lum = [&](const QColor &c) { return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF()); };
    return (std::max(lum(a), lum(b)) + 0.05) / (std::min(lum(a), lum(b)) + 0.05);
}

struct PaintCounter : QWidget
{
    int paints = 0;
    void paintEvent(QPaintEvent *) override { ++paints; }
};

// The main window's kinds of widgets in miniature: menu bar, task rows with a selection, button, progress.
void fillSample(ThemedDialog &dialog)
{
    dialog.EnableVisualManagerStyle(true);
    auto *layout = new QVBoxLayout(&dialog);
    layout->setMenuBar(new QMenuBar(&dialog));
    static_cast<QMenuBar *>(layout->menuBar())->addMenu(QStringLiteral("&File"));
    auto *list = new CListCtrlEx(&dialog);
    auto *rows = new QStandardItemModel(3, 2, list);
    for (int r = 0; r < 3; ++r)
        rows->setItem(r, 0, new QStandardItem(QStringLiteral("clip %1.avi").arg(r)));
    list->setModel(rows);
    list->SetRowSelected(1, true);
    layout->addWidget(list);
    layout->addWidget(new QPushButton(QStringLiteral("Detail"), &dialog));
    layout->addWidget(new QProgressBar(&dialog));
    dialog.resize(300, 200);
}

double imageDistance(const QImage &a, const QImage &b) // mean absolute difference per channel, 0..255
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift : {0, 8, 16})
                sum += std::abs(int(a.pixel(x, y) >> shift & 0xFF) - int(b.pixel(x, y) >> shift & 0xFF));
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

class TestLooks : public QObject
{
    Q_OBJECT
private slots:
    void eachLook_data()
    {
        QTest::addColumn<int>("id");
        for (int id : Looks::AllLooks())
            QTest::newRow(qPrintable(QString::number(id))) << id;
    }
    void eachLook()
    {
        QFETCH(int, id);
        QVERIFY(Looks::ApplyLook(id));
        const QPalette p = Looks::LookPalette(id);
        QCOMPARE(QApplication::palette().color(QPalette::Window), p.color(QPalette::Window));
        QCOMPARE(qApp->styleSheet(), Looks::LookStyleSheet(id));
        QCOMPARE(Looks::DrawingStyleName().toLower(), id == Looks::kOffice2000 ? "windows" : "fusion");
        // Legible: every text on its face meets the WCAG AA ratio of 4.5.
        using R = QPalette::ColorRole;
        for (auto [text, face] : {std::pair{R::WindowText, R::Window}, {R::Text, R::Base}, {R::ButtonText, R::Button},
                                  {R::HighlightedText, R::Highlight}, {R::ToolTipText, R::ToolTipBase}})
            QVERIFY(contrast(p.color(text), p.color(face)) >= 4.5);
    }

    void looksAreDistinct() // seen whole, any two looks differ by more than a shade
    {
        const QList<int> ids = Looks::AllLooks();
        QCOMPARE(ids.size(), 10); // the menu's ten looks
        ThemedDialog sample;
        fillSample(sample);
        sample.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sample));
        PropertyGrid grid; // keeps its own colours whatever the look
        grid.SetCustomColors(MainGridColors());
        QList<QImage> images;
        for (int id : ids) {
            QVERIFY(Looks::ApplyLook(id));
            QCOMPARE(grid.tree()->palette().color(QPalette::Base), MainGridColors().background);
            images << sample.grab().toImage().convertToFormat(QImage::Format_RGB32);
        }
        for (int i = 0; i < ids.size(); ++i)
            for (int j = i + 1; j < ids.size(); ++j)
                QVERIFY2(imageDistance(images[i], images[j]) > 4.0, qPrintable(QStringLiteral("%1 / %2").arg(ids[i]).arg(ids[j])));
    }

    void switchingRepaintsEveryOpenWindow()
    {
        QVERIFY(Looks::ApplyLook(Looks::kOffice2007Blue));
        PaintCounter first, second;
        first.show();
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first) && QTest::qWaitForWindowExposed(&second));
        QTRY_VERIFY(first.paints > 0 && second.paints > 0);
        first.paints = second.paints = 0;
        QVERIFY(Looks::ApplyLook(Looks::kOffice2007Black));
        QTRY_VERIFY(first.paints > 0 && second.paints > 0);
        QCOMPARE(second.palette().color(QPalette::Window), Looks::LookPalette(Looks::kOffice2007Black).color(QPalette::Window));
    }

    void storedLook()
    {
        const QString file = QSettings(QStringLiteral("Mirra Video Applications1"), QStringLiteral("corvane-studio")).fileName();
        QFile::remove(file);
        QCOMPARE(Looks::LoadStoredLook(), 32838); // nothing stored: Blue Style
        Looks::StoreLook(Looks::kOffice2007Aqua);
        QCOMPARE(QSettings(file, QSettings::IniFormat).value(QStringLiteral("Settings/ApplicationLook")).toInt(), 32841);
        QCOMPARE(Looks::LoadStoredLook(), 32841);
        for (const QVariant &unusable : {QVariant(QStringLiteral("blue")), QVariant(32832), QVariant(40000)}) {
            QSettings(file, QSettings::IniFormat).setValue(QStringLiteral("Settings/ApplicationLook"), unusable);
            QCOMPARE(Looks::LoadStoredLook(), 32838);
        }
    }
};

QTEST_MAIN(TestLooks)
#include "test_looks.moc"
