#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <cmath>

#include "app/AboutDialog.h"
#include "controls/CLinkLabel.h"
#include "controls/CListCtrlEx.h"
#include "profiles/ParameterEditor.h"
#include "toolkit/BrowseEdit.h"
#include "toolkit/Looks.h"
#include "toolkit/PropertyGrid.h"
#include "toolkit/Resources.h"
#include "toolkit/StatusBar.h"
#include "toolkit/ThemedDialog.h"

namespace {

// WCAG contrast ratio of two colours.
double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Counts how often it is painted.
class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        QPainter(this).fillRect(rect(), palette().color(QPalette::Window));
    }
};

// The main window's kinds of widgets in miniature: menu bar, the big buttons with an
// image over their text, the 25 x 22 preview buttons, the task list with coloured rows,
// the property grid with its own colours, profile and destination, progress, status bar.
class Sample : public ThemedDialog
{
public:
    CListCtrlEx *list = nullptr;
    QMenu *lookMenu = nullptr;

    Sample()
    {
        EnableVisualManagerStyle(true);
        auto *outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);

        auto *menuBar = new QMenuBar(this);
        for (const char *title : {"&File", "&Edit", "&View", "&Help"})
            menuBar->addMenu(QString::fromLatin1(title));
        outer->setMenuBar(menuBar);

        auto *body = new QVBoxLayout;
        body->setContentsMargins(8, 6, 8, 6);
        outer->addLayout(body, 1);

        auto *bigButtons = new QHBoxLayout;
        const std::pair<const char *, const char *> big[] = {
            {"Add File", "add"}, {"Delete", "delete"}, {"Property", "property"}, {"Task Info", "taskinfo"}, {"Exit", "exit"}};
        for (auto [text, icon] : big)
            bigButtons->addWidget(bigButton(text, icon));
        // One button drawn as if the mouse were over it, to show the look's hot state.
        bigButtons->itemAt(0)->widget()->setAttribute(Qt::WA_UnderMouse);
        bigButtons->addStretch(1);
        body->addLayout(bigButtons);

        auto *middle = new QHBoxLayout;
        list = new CListCtrlEx(this);
        list->setColumnCount(3);
        list->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Duration"), QStringLiteral("Status")});
        // The row colours the program uses: listed, re-listed, converting, done, failed.
        const QRgb colours[] = {0x00000000, 0x00000080, 0x0093B129, 0x00808080, 0x00FF0000};
        const char *statusTexts[] = {"Ready", "Ready", "Converting", "Completed", "Stoped"};
        for (int r = 0; r < 5; ++r) {
            list->InsertRow(r, QStringLiteral("clip %1.avi").arg(r + 1), QIcon(QStringLiteral(":/icons/file-video.png")));
            list->SetItemText(r, 1, QStringLiteral("00:0%1:10").arg(r));
            list->SetItemText(r, 2, QString::fromLatin1(statusTexts[r]));
            list->SetItemColor(r, colours[r], CListCtrlEx::kUnchanged);
        }
        list->setColumnWidth(0, 110);
        list->SetRowSelected(1, true);
        list->setFixedHeight(150);
        middle->addWidget(list, 3);

        auto *grid = new PropertyGrid(this);
        grid->SetCustomColors(MainGridColors());
        PropertyGridItem *video = grid->AddGroup(QStringLiteral("Video"));
        grid->AddProperty(video, std::make_unique<PropertyGridItem>(QStringLiteral("Codec"), QStringLiteral("libx264"), QString()));
        grid->AddProperty(video, std::make_unique<PropertyGridItem>(QStringLiteral("Size"), QStringLiteral("640x480"), QString()));
        grid->ExpandAll();
        grid->EnableDescriptionArea(false);
        grid->setFixedSize(180, 150);
        middle->addWidget(grid);

        auto *preview = new QVBoxLayout;
        auto *area = new QLabel(this);
        area->setFrameShape(QFrame::Panel);
        area->setFrameShadow(QFrame::Sunken);
        area->setAlignment(Qt::AlignCenter);
        area->setPixmap(QPixmap(QStringLiteral(":/icons/preview-idle.png")));
        area->setFixedSize(180, 110);
        preview->addWidget(area);
        auto *slider = new QSlider(Qt::Horizontal, this);
        slider->setValue(40);
        preview->addWidget(slider);
        auto *transport = new QHBoxLayout;
        transport->setSpacing(3);
        for (const char *icon : {"play", "pause", "stop", "set-start", "set-stop"})
            transport->addWidget(smallButton(icon));
        transport->addStretch(1);
        preview->addLayout(transport);
        middle->addLayout(preview);
        body->addLayout(middle);

        auto *profileRow = new QHBoxLayout;
        profileRow->addWidget(new QLabel(QStringLiteral("Profile:"), this));
        auto *combo = new QComboBox(this);
        combo->addItem(QStringLiteral("MP4 (H.264/AAC)"));
        profileRow->addWidget(combo, 1);
        auto *detail = new QPushButton(QStringLiteral("Detail"), this);
        detail->setFixedSize(60, 20);
        profileRow->addWidget(detail);
        auto *disabled = new QPushButton(QStringLiteral("Disabled"), this);
        disabled->setEnabled(false);
        profileRow->addWidget(disabled);
        body->addLayout(profileRow);

        auto *destRow = new QHBoxLayout;
        destRow->addWidget(new QLabel(QStringLiteral("Destination:"), this));
        auto *dest = new BrowseEdit(BrowseEdit::Mode::Folder, this);
        dest->setText(QStringLiteral("/home/user/Videos/Converted"));
        destRow->addWidget(dest, 1);
        destRow->addWidget(new CLinkLabel(QStringLiteral("https://corvane-studio.example/"), QString(), this));
        body->addLayout(destRow);

        auto *bottom = new QHBoxLayout;
        auto *progress = new QProgressBar(this);
        progress->setValue(40);
        progress->setTextVisible(false);
        progress->setFixedHeight(15);
        bottom->addWidget(progress, 1);
        for (const std::pair<const char *, const char *> &b :
             {std::pair{"Convert Selected", "convert-selected"}, std::pair{"Convert All", "convert-all"},
              std::pair{"Stop Convert", "stop-convert"}})
            bottom->addWidget(bigButton(b.first, b.second));
        body->addLayout(bottom);

        auto *status = new StatusBar(4, this);
        status->SetPaneText(0, QStringLiteral("Ready"));
        status->SetPaneText(1, QStringLiteral("Converting clip 3.avi"));
        status->SetPaneText(2, QStringLiteral("Total: 5"));
        status->SetPaneText(3, QStringLiteral("Done: 1"));
        status->setFixedHeight(20); // as the main window places it
        outer->addWidget(status);

        lookMenu = new QMenu(this);
        for (const char *t : {"Office &2000", "Office &XP", "&Blue Style", "B&lack Style"}) {
            QAction *a = lookMenu->addAction(QString::fromLatin1(t));
            a->setCheckable(true);
            a->setChecked(QByteArray(t) == "&Blue Style");
        }
        lookMenu->addSeparator();
        lookMenu->addAction(QStringLiteral("Select All"))->setEnabled(false);
        lookMenu->setActiveAction(lookMenu->actions().at(1));

        resize(720, 470);
    }

private:
    QToolButton *bigButton(const char *text, const char *icon)
    {
        auto *b = new QToolButton(this);
        b->setText(QString::fromLatin1(text));
        b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(icon))));
        b->setIconSize(QSize(40, 40));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFixedSize(90, 74);
        return b;
    }

    QToolButton *smallButton(const char *icon)
    {
        auto *b = new QToolButton(this);
        b->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(icon))));
        b->setIconSize(QSize(16, 16));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setFixedSize(25, 22);
        return b;
    }
};

QImage renderSample(Sample &sample)
{
    QApplication::processEvents();
    QImage image = sample.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The look menu beside the window, as it would drop down.
    sample.lookMenu->ensurePolished();
    sample.lookMenu->adjustSize();
    const QImage menu = sample.lookMenu->grab().toImage();
    QImage sheet(image.width() + menu.width() + 10, std::max(image.height(), menu.height()), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.drawImage(0, 0, image);
    p.drawImage(image.width() + 10, 30, menu);
    p.end();
    return sheet;
}

// Mean absolute difference per channel, 0..255.
double imageDistance(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(ra[x]) - qRed(rb[x])) + std::abs(qGreen(ra[x]) - qGreen(rb[x])) +
                   std::abs(qBlue(ra[x]) - qBlue(rb[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

class TestLooks : public QObject
{
    Q_OBJECT
public:
    QString configDir;

private slots:
    void initTestCase() { InitProgramResources(); }

    void table_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("menuText");
        QTest::newRow("32833") << 32833 << "Office &2000";
        QTest::newRow("32834") << 32834 << "Office &XP";
        QTest::newRow("32835") << 32835 << "Office 200&3";
        QTest::newRow("32836") << 32836 << "";
        QTest::newRow("32837") << 32837 << "";
        QTest::newRow("32838") << 32838 << "&Blue Style";
        QTest::newRow("32839") << 32839 << "B&lack Style";
        QTest::newRow("32840") << 32840 << "&Silver Style";
        QTest::newRow("32841") << 32841 << "&Aqua Style";
        QTest::newRow("32842") << 32842 << "";
    }

    void table()
    {
        QFETCH(int, id);
        QFETCH(QString, menuText);
        QVERIFY(Looks::IsLook(id));
        QCOMPARE(Looks::LookMenuText(id), menuText);
        QVERIFY(!Looks::LookName(id).isEmpty());
        QVERIFY(!Looks::LookStyleSheet(id).trimmed().isEmpty());
    }

    void onlyTheTenIds()
    {
        QList<int> expected;
        for (int id = 32833; id <= 32842; ++id)
            expected << id;
        QCOMPARE(Looks::AllLooks(), expected);
        QVERIFY(!Looks::IsLook(32832));
        QVERIFY(!Looks::IsLook(32843));
        QVERIFY(!Looks::IsLook(0));
        QVERIFY(Looks::LookMenuText(32843).isEmpty());
    }

    void applyInstallsPaletteSheetAndStyle_data()
    {
        QTest::addColumn<int>("id");
        for (int id : Looks::AllLooks())
            QTest::newRow(qPrintable(Looks::LookName(id))) << id;
    }

    void applyInstallsPaletteSheetAndStyle()
    {
        QFETCH(int, id);
        QVERIFY(Looks::ApplyLook(id));
        QCOMPARE(Looks::CurrentLook(), id);
        QCOMPARE(QApplication::palette().color(QPalette::Window), Looks::LookPalette(id).color(QPalette::Window));
        QCOMPARE(QApplication::palette().color(QPalette::Highlight), Looks::LookPalette(id).color(QPalette::Highlight));
        QCOMPARE(qApp->styleSheet(), Looks::LookStyleSheet(id));
        // The plain look is drawn by the classic style, every other by Fusion.
        const QString expectedStyle = id == Looks::kOffice2000 ? QStringLiteral("windows") : QStringLiteral("fusion");
        QCOMPARE(Looks::DrawingStyleName().toLower(), expectedStyle);
    }

    void looksAreDistinct()
    {
        const QList<int> ids = Looks::AllLooks();
        QList<QColor> windows;
        QStringList sheets;
        QList<QImage> images;
        Sample sample;
        sample.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sample));
        const QString shots = qEnvironmentVariable("CORVANE_LOOK_SHOTS");
        for (int id : ids) {
            QVERIFY(Looks::ApplyLook(id));
            windows << QApplication::palette().color(QPalette::Window);
            sheets << qApp->styleSheet();
            images << renderSample(sample);
            if (!shots.isEmpty()) {
                QDir().mkpath(shots);
                QString name = Looks::LookName(id).toLower().replace(u' ', u'-');
                QVERIFY(images.last().save(QStringLiteral("%1/%2-%3.png").arg(shots).arg(id).arg(name)));
                AboutDialog about;
                about.show();
                QVERIFY(QTest::qWaitForWindowExposed(&about));
                QVERIFY(about.grab().save(QStringLiteral("%1/about-%2-%3.png").arg(shots).arg(id).arg(name)));
            }
        }
        for (int i = 0; i < ids.size(); ++i) {
            for (int j = i + 1; j < ids.size(); ++j) {
                const QString pair = Looks::LookName(ids[i]) + QStringLiteral(" / ") + Looks::LookName(ids[j]);
                QVERIFY2(windows[i] != windows[j], qPrintable(pair));
                QVERIFY2(sheets[i] != sheets[j], qPrintable(pair));
                // Seen whole, two looks differ by more than a shade.
                const double distance = imageDistance(images[i], images[j]);
                QVERIFY2(distance > 4.0, qPrintable(pair + QStringLiteral(": %1").arg(distance)));
            }
        }
    }

    void looksStayLegible_data() { applyInstallsPaletteSheetAndStyle_data(); }

    void looksStayLegible()
    {
        QFETCH(int, id);
        const QPalette p = Looks::LookPalette(id);
        // Normal text meets at least the WCAG AA ratio of 4.5.
        QVERIFY(contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)) >= 4.5);
        QVERIFY(contrast(p.color(QPalette::Text), p.color(QPalette::Base)) >= 4.5);
        QVERIFY(contrast(p.color(QPalette::ButtonText), p.color(QPalette::Button)) >= 4.5);
        QVERIFY(contrast(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)) >= 4.5);
        QVERIFY(contrast(p.color(QPalette::ToolTipText), p.color(QPalette::ToolTipBase)) >= 4.5);
        // Selected task rows in dark colours are drawn white on the highlight.
        QVERIFY(contrast(Qt::white, p.color(QPalette::Highlight)) >= 4.5);
        // The task list paints fixed row colours on the base: it must stay light.
        QVERIFY(luminance(p.color(QPalette::Base)) >= 0.85);
        // The About box link keeps its fixed blue on the window face.
        QVERIFY(contrast(QColor(0, 0, 238), p.color(QPalette::Window)) >= 4.5);
        // Disabled texts stay readable, yet differ from enabled ones.
        const QColor disabled = p.color(QPalette::Disabled, QPalette::WindowText);
        QVERIFY(disabled != p.color(QPalette::WindowText));
        QVERIFY(contrast(disabled, p.color(QPalette::Window)) >= 1.8);
    }

    void unknownIdChangesNothing()
    {
        QVERIFY(Looks::ApplyLook(Looks::kOffice2003));
        const QPalette before = QApplication::palette();
        const QString sheet = qApp->styleSheet();
        QVERIFY(!Looks::ApplyLook(32843));
        QVERIFY(!Looks::ApplyLook(-1));
        QCOMPARE(Looks::CurrentLook(), Looks::kOffice2003);
        QCOMPARE(QApplication::palette().color(QPalette::Window), before.color(QPalette::Window));
        QCOMPARE(qApp->styleSheet(), sheet);
    }

    void switchingRepaintsEveryOpenWindow()
    {
        QVERIFY(Looks::ApplyLook(Looks::kOffice2007Blue));
        PaintCounter first, second;
        auto *child = new QLabel(QStringLiteral("child"), &second);
        first.resize(200, 100);
        second.resize(200, 100);
        first.show();
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QTRY_VERIFY(first.paints > 0 && second.paints > 0);
        const int before1 = first.paints, before2 = second.paints;

        QVERIFY(Looks::ApplyLook(Looks::kOffice2007Black));
        QTRY_VERIFY(first.paints > before1);
        QTRY_VERIFY(second.paints > before2);
        QCOMPARE(child->palette().color(QPalette::Window), Looks::LookPalette(Looks::kOffice2007Black).color(QPalette::Window));
        QCOMPARE(first.palette().color(QPalette::WindowText),
                 Looks::LookPalette(Looks::kOffice2007Black).color(QPalette::WindowText));
    }

    void propertyGridKeepsItsOwnColours()
    {
        PropertyGrid grid;
        grid.SetCustomColors(MainGridColors());
        for (int id : {Looks::kOffice2007Black, Looks::kOffice2000, Looks::kVS2008}) {
            QVERIFY(Looks::ApplyLook(id));
            QCOMPARE(grid.tree()->palette().color(QPalette::Base), MainGridColors().background);
            QCOMPARE(grid.tree()->palette().color(QPalette::Text), MainGridColors().text);
        }
    }

    void windowsXPOptionStaysOn()
    {
        QVERIFY(Looks::ApplyLook(Looks::kWindowsXP));
        QVERIFY(Looks::IsWindowsXPThemeOptionOn());
        QVERIFY(Looks::ApplyLook(Looks::kOffice2007Silver));
        QVERIFY(Looks::IsWindowsXPThemeOptionOn());
    }

    // ---- the stored look -------------------------------------------------------------

    void storedLook()
    {
        const QString file = configDir + QStringLiteral("/Mirra Video Applications1/corvane-studio.conf");
        QFile::remove(file);
        QCOMPARE(Looks::LoadStoredLook(), Looks::kDefault);
        QCOMPARE(Looks::kDefault, 32838);

        Looks::StoreLook(Looks::kOffice2007Aqua);
        QVERIFY2(QFile::exists(file), qPrintable(file));
        {
            QSettings direct(file, QSettings::IniFormat);
            QCOMPARE(direct.value(QStringLiteral("Settings/ApplicationLook")).toInt(), 32841);
        }
        QCOMPARE(Looks::LoadStoredLook(), 32841);

        Looks::StoreLook(Looks::kOffice2000);
        QCOMPARE(Looks::LoadStoredLook(), 32833);
    }

    void unusableStoredValueReadsAsDefault_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("text") << QVariant(QStringLiteral("blue"));
        QTest::newRow("below the range") << QVariant(32832);
        QTest::newRow("above the range") << QVariant(40000);
    }

    void unusableStoredValueReadsAsDefault()
    {
        QFETCH(QVariant, value);
        {
            QSettings settings(QStringLiteral("Mirra Video Applications1"), QStringLiteral("corvane-studio"));
            settings.setValue(QStringLiteral("Settings/ApplicationLook"), value);
        }
        QCOMPARE(Looks::LoadStoredLook(), Looks::kDefault);
    }
};

int main(int argc, char *argv[])
{
    // The per-user settings go to a folder of this run, set before anything reads it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestLooks test;
    test.configDir = config.path();
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_looks.moc"
