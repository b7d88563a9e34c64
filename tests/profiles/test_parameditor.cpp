#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>

#include "core/UserMessage.h"
#include "profiles/CDetailDialog.h"
#include "profiles/CMpegStructs.h"
#include "profiles/CurrentProfile.h"
#include "profiles/ParamDisplayNames.h"
#include "profiles/ParamOptions.h"
#include "profiles/ParameterEditor.h"
#include "profiles/ProfileCatalogue.h"
#include "profiles/ProfileSelector.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"
#include "toolkit/PropertyGrid.h"
#include "CellBuilders.h"

using namespace CellBuilders;

namespace {

const QHash<QString, QString> kEnglish{
    {"@63", "Metadata"},     {"@64", "Title"},        {"@65", "Copyright"},  {"@66", "Author"},
    {"@67", "Album"},        {"@68", "Comment"},      {"@69", "Timestamp"},  {"@70", "Audio"},
    {"@71", "Audio Codec"},  {"@72", "Audio Bit Rate"}, {"@73", "Sample Rate"}, {"@74", "Channels"},
    {"@75", "Video"},        {"@76", "Video Codec"},  {"@77", "Frame Rate"}, {"@78", "Video Bit Rate"},
    {"@79", "Video Size"},   {"@80", "Aspect"},
};
const QHash<QString, QString> kGerman{
    {"@70", "Ton"}, {"@72", "Audio-Bitrate"}, {"@75", "Bild"}, {"@79", "Bildgröße"}, {"@80", "Seitenverhältnis"},
    {"@77", "Bildrate"}, {"@63", "Metadaten"},
};

void useLanguage(const QHash<QString, QString> &texts)
{
    ParamDisplayNames::Rebuild([&texts](const QString &id) { return texts.value(id); });
}

QStringList labelsOf(const PropertyGridItem *group)
{
    QStringList labels;
    for (int i = 0; i < group->GetSubItemsCount(); ++i)
        labels << group->GetSubItem(i)->GetName();
    return labels;
}

const QStringList kAspectEntries{"0|Off", "1|Stretch", "2|Crop", "3|Fit centred", "4|Fit right",
                                 "5|Fit left",  "6|Fit bottom", "7|Fit top"};

// vcodec, s, vb, r, aspect in the first group; ab in the second; title in the third.
std::unique_ptr<ParamCell> videoTree()
{
    auto root = ParamCell::MakeRoot();
    root->AddChild(makeList("vcodec", {"mpeg4|MPEG-4"}, 0));
    auto size = makeList("s", {"|same to source", "320x240|320x240", "640x480|640x480"}, 1);
    size->strLocal = QStringLiteral("1,2");
    size->AlowEdit = true;
    root->AddChild(std::move(size));
    auto vb = makeList("vb", {"800|800 Kb/s", "1200|1200 Kb/s"}, 1, QStringLiteral("Kb/s"));
    vb->strLocal = QStringLiteral("1,3");
    root->AddChild(std::move(vb));
    auto rate = makeList("r", {"|Same as source", "25|25 fps"}, 1, QStringLiteral("fps"));
    rate->strLocal = QStringLiteral("1,4");
    root->AddChild(std::move(rate));
    auto aspect = makeList("aspect", kAspectEntries, 3);
    aspect->strLocal = QStringLiteral("1,5");
    root->AddChild(std::move(aspect));
    auto ab = makeList("ab", {"64|64 Kb/s", "128|128 Kb/s", "192|192 Kb/s"}, 1, QStringLiteral("Kb/s"));
    ab->strLocal = QStringLiteral("2,2");
    ab->AlowEdit = true;
    root->AddChild(std::move(ab));
    auto title = makeCell("title", ParamCell::kText);
    title->strLocal = QStringLiteral("3,1");
    title->Help = QStringLiteral("Title stored in the file.");
    root->AddChild(std::move(title));
    return root;
}

QComboBox *openComboEditor(PropertyGrid &grid, PropertyGridItem *property)
{
    // Editors closed before are only deleted later: let them go first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    grid.EditValue(property);
    const QList<QComboBox *> editors = grid.tree()->viewport()->findChildren<QComboBox *>();
    return editors.size() == 1 ? editors.front() : nullptr;
}

// Chooses an option in the drop-down the grid opens, as a user does.
bool chooseInEditor(PropertyGrid &grid, PropertyGridItem *property, const QString &option)
{
    QComboBox *combo = openComboEditor(grid, property);
    if (!combo)
        return false;
    const int index = combo->findText(option);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    QCoreApplication::processEvents();
    return true;
}

} // namespace

class TestParamEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<PropertyGrid> makeGrid()
    {
        auto grid = std::unique_ptr<PropertyGrid>(CreateParamGrid(nullptr));
        grid->resize(400, 500);
        grid->show();
        return grid;
    }

private slots:
    void init()
    {
        useLanguage(kEnglish);
        ProfileMap::Instance().Clear();
    }

    void visibilityByUserMode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("userMode");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("local");
        QTest::addColumn<int>("shownInGroup"); // -1: not shown
        QTest::addColumn<bool>("enabled");
        QTest::newRow("mode 1") << "ab" << 1 << true << "2,1" << 1 << true;
        QTest::newRow("mode 3") << "ab" << 3 << true << "2,1" << 1 << false;
        QTest::newRow("mode 2") << "ab" << 2 << true << "2,1" << -1 << false;
        QTest::newRow("mode 0") << "ab" << 0 << true << "2,1" << -1 << false;
        QTest::newRow("cell disabled") << "ab" << 1 << false << "2,1" << -1 << false;
        QTest::newRow("ss never") << "ss" << 1 << true << "1,1" << -1 << false;
        QTest::newRow("SS never") << "SS" << 1 << true << "1,1" << -1 << false;
        QTest::newRow("t is shown") << "t" << 1 << true << "1,1" << 0 << true;
        QTest::newRow("group 4") << "ab" << 1 << true << "4,1" << -1 << false;
        QTest::newRow("group 0") << "ab" << 1 << true << "0,0" << -1 << false;
        QTest::newRow("blanks around the group") << "ab" << 1 << true << " 3 , 9" << 2 << true;
        QTest::newRow("no order number") << "ab" << 1 << true << "3" << 2 << true;
    }
    void visibilityByUserMode()
    {
        QFETCH(QString, name);
        QFETCH(int, userMode);
        QFETCH(bool, enable);
        QFETCH(QString, local);
        QFETCH(int, shownInGroup);
        QFETCH(bool, enabled);
        auto root = ParamCell::MakeRoot();
        auto cell = makeCell(name, ParamCell::kText, enable);
        cell->nUserMode = userMode;
        cell->strLocal = local;
        cell->SValue = QStringLiteral("v");
        root->AddChild(std::move(cell));
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        QCOMPARE(grid->GetPropertyCount(), 3);
        int total = 0;
        for (int g = 0; g < 3; ++g)
            total += grid->GetProperty(g)->GetSubItemsCount();
        QCOMPARE(total, shownInGroup < 0 ? 0 : 1);
        if (shownInGroup >= 0) {
            PropertyGridItem *property = grid->GetProperty(shownInGroup)->GetSubItem(0);
            QVERIFY(property);
            QCOMPARE(property->IsEnabled(), enabled);
            QCOMPARE(grid->CommitValue(property, QStringLiteral("typed")), enabled);
        }
    }

    void groupsLabelsKeysAndDescriptions()
    {
        auto root = videoTree();
        auto grid = makeGrid();
        QCOMPARE(grid->tree()->headerItem()->text(0), QStringLiteral("Property"));
        QCOMPARE(grid->tree()->headerItem()->text(1), QStringLiteral("Value"));
        QVERIFY(grid->IsDescriptionAreaEnabled());
        ShowParamFromTree(grid.get(), root.get());
        QCOMPARE(grid->GetProperty(0)->GetName(), QStringLiteral("Video"));
        QCOMPARE(grid->GetProperty(1)->GetName(), QStringLiteral("Audio"));
        QCOMPARE(grid->GetProperty(2)->GetName(), QStringLiteral("Metadata"));
        QCOMPARE(labelsOf(grid->GetProperty(0)),
                 (QStringList{"Video Codec", "Video Size", "Video Bit Rate", "Frame Rate", "Aspect"}));
        QCOMPARE(grid->GetProperty(0)->GetSubItem(4)->GetKey(), QStringLiteral("aspect"));
        QVERIFY(grid->tree()->isExpanded(grid->tree()->model()->index(0, 0)));

        PropertyGridItem *title = grid->GetProperty(2)->GetSubItem(0);
        QCOMPARE(title->GetDescription(), QStringLiteral("Title stored in the file."));
        grid->tree()->setCurrentItem(title);
        QCOMPARE(grid->DescriptionTitle(), QStringLiteral("Title"));
        QCOMPARE(grid->DescriptionText(), QStringLiteral("Title stored in the file."));

        // A cell name without a label shows an empty one; refilling replaces everything.
        auto other = ParamCell::MakeRoot();
        auto odd = makeCell("pix_fmt", ParamCell::kText);
        odd->SValue = QStringLiteral("yuv420p");
        other->AddChild(std::move(odd));
        ShowParamFromTree(grid.get(), other.get());
        QCOMPARE(grid->GetProperty(0)->GetSubItemsCount(), 1);
        QCOMPARE(grid->GetProperty(0)->GetSubItem(0)->GetName(), QString());
        QCOMPARE(grid->GetProperty(0)->GetSubItem(0)->GetValue(), QStringLiteral("yuv420p"));
        // A null root leaves the grid as it was.
        ShowParamFromTree(grid.get(), nullptr);
        QCOMPARE(grid->GetProperty(0)->GetSubItemsCount(), 1);
    }

    void listOptionsAndFreeTyping_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("alowEdit");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("typing");
        QTest::newRow("duplicates once") << QStringList{"a|Same", "b| Same", "c|Other"} << 2 << true
                                         << QStringList{"Same", "Other"} << "Other" << true;
        QTest::newRow("single entry never typed") << QStringList{"mpeg4|MPEG-4"} << 0 << true << QStringList{"MPEG-4"}
                                                  << "MPEG-4" << false;
        QTest::newRow("typing forbidden") << QStringList{"1|One", "2|Two"} << 0 << false << QStringList{"One", "Two"}
                                          << "One" << false;
        QTest::newRow("no current entry") << QStringList{"1|One", "2|Two"} << -1 << true << QStringList{"One", "Two"}
                                          << "" << true;
        QTest::newRow("empty engine part") << QStringList{"|Auto", "25|25 fps"} << 0 << true
                                           << QStringList{"Auto", "25 fps"} << "Auto" << true;
        QTest::newRow("entry without bar") << QStringList{"plain", "x|X"} << 0 << false << QStringList{"plain", "X"}
                                           << "plain" << false;
    }
    void listOptionsAndFreeTyping()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, current);
        QFETCH(bool, alowEdit);
        QFETCH(QStringList, options);
        QFETCH(QString, value);
        QFETCH(bool, typing);
        auto root = ParamCell::MakeRoot();
        auto cell = makeList("acodec", entries, current);
        cell->AlowEdit = alowEdit;
        root->AddChild(std::move(cell));
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *property = grid->GetProperty(0)->GetSubItem(0);
        QCOMPARE(property->GetOptions(), options);
        QCOMPARE(property->GetValue(), value);
        QCOMPARE(property->IsAllowEdit(), typing);
        // The real editor agrees: a drop-down that accepts typing only when allowed.
        QComboBox *combo = openComboEditor(*grid, property);
        QVERIFY(combo);
        QCOMPARE(combo->isEditable(), typing);
        QCOMPARE(combo->count(), options.size());
        QCOMPARE(grid->CommitValue(property, QStringLiteral("typed by hand")), typing);
    }

    void kbpsRoundTripThroughTheGrid()
    {
        auto root = videoTree();
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *ab = grid->GetProperty(1)->GetSubItem(0);
        QCOMPARE(ab->GetKey(), QStringLiteral("ab"));
        QCOMPARE(ab->GetValue(), QStringLiteral("128 Kb/s"));
        QVERIFY(!ab->font(1).bold());

        QSignalSpy changed(grid.get(), &PropertyGrid::PropertyChanged);
        connect(grid.get(), &PropertyGrid::PropertyChanged, this,
                [&](PropertyGridItem *p) { ApplyPropertyChange(p, root.get(), grid.get()); });
        QVERIFY(chooseInEditor(*grid, ab, QStringLiteral("192 Kb/s")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(ab->GetValue(), QStringLiteral("192 Kb/s"));
        QVERIFY(ab->font(1).bold()); // modified values stand out

        const ParamCell *cell = FindCell(root.get(), QStringLiteral("ab"));
        QCOMPARE(cell->SValue.str(), QStringLiteral("192000"));
        QCOMPARE(cell->UsedType, 102);
        QVERIFY(GetParamFromTree(root.get()).contains(QStringLiteral(" -ab 192000")));

        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *refilled = grid->GetProperty(1)->GetSubItem(0);
        QCOMPARE(refilled->GetValue(), QStringLiteral("192 Kb/s"));
        QVERIFY(!refilled->font(1).bold());

        // Typed text: the leading number counts, no number stores 0.
        QVERIFY(grid->CommitValue(refilled, QStringLiteral("96")));
        QCOMPARE(cell->SValue.str(), QStringLiteral("96000"));
        QVERIFY(grid->CommitValue(refilled, QStringLiteral("lots")));
        QCOMPARE(cell->SValue.str(), QStringLiteral("0"));
    }

    void textEditThroughTheGrid()
    {
        auto root = videoTree();
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        connect(grid.get(), &PropertyGrid::PropertyChanged, this,
                [&](PropertyGridItem *p) { ApplyPropertyChange(p, root.get(), grid.get()); });
        PropertyGridItem *title = grid->GetProperty(2)->GetSubItem(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        grid->EditValue(title);
        auto *edit = grid->tree()->viewport()->findChild<QLineEdit *>();
        QVERIFY(edit);
        edit->setText(QStringLiteral("Holiday 2024"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents(); // the view commits an editor's text on its next turn
        QCOMPARE(title->GetValue(), QStringLiteral("Holiday 2024"));
        QCOMPARE(FindCell(root.get(), QStringLiteral("title"))->SValue.str(), QStringLiteral("Holiday 2024"));
        QVERIFY(GetParamFromTree(root.get()).endsWith(QStringLiteral(" -title Holiday 2024")));
    }

    void sameToSourceDisablesTheAspect()
    {
        auto root = videoTree();
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        connect(grid.get(), &PropertyGrid::PropertyChanged, this,
                [&](PropertyGridItem *p) { ApplyPropertyChange(p, root.get(), grid.get()); });
        PropertyGridItem *size = grid->GetProperty(0)->GetSubItem(1);
        PropertyGridItem *aspectProperty = grid->GetProperty(0)->GetSubItem(4);
        const ParamCell *aspect = FindCell(root.get(), QStringLiteral("aspect"));
        const ParamCell *sizeCell = FindCell(root.get(), QStringLiteral("s"));
        QCOMPARE(size->GetValue(), QStringLiteral("320x240"));
        QVERIFY(aspectProperty->IsEnabled());

        QVERIFY(chooseInEditor(*grid, size, QStringLiteral("same to source")));
        QVERIFY(!aspectProperty->IsEnabled());
        QCOMPARE(aspect->nUserMode & 2, 2);
        QVERIFY(!GetParamFromTree(root.get()).contains(QStringLiteral("-s ")));
        // Refilled, the grid shows the choice and the aspect still disabled.
        ShowParamFromTree(grid.get(), root.get());
        QCOMPARE(grid->GetProperty(0)->GetSubItem(1)->GetValue(), QStringLiteral("same to source"));
        QVERIFY(!grid->GetProperty(0)->GetSubItem(4)->IsEnabled());

        size = grid->GetProperty(0)->GetSubItem(1);
        aspectProperty = grid->GetProperty(0)->GetSubItem(4);
        QVERIFY(chooseInEditor(*grid, size, QStringLiteral("640x480")));
        QVERIFY(aspectProperty->IsEnabled());
        QCOMPARE(aspect->nUserMode & 2, 0);
        QCOMPARE(sizeCell->SValue.str(), QStringLiteral("640x480"));
        QCOMPARE(sizeCell->UsedType, 102);
        QVERIFY(GetParamFromTree(root.get()).contains(QStringLiteral(" -s 640x480")));
        // A size of one's own is kept as typed.
        QVERIFY(grid->CommitValue(size, QStringLiteral("800x600")));
        QCOMPARE(sizeCell->SValue.str(), QStringLiteral("800x600"));
    }

    void autoEntryLeavesTheOptionToTheEngine()
    {
        auto root = videoTree();
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *rate = grid->GetProperty(0)->GetSubItem(3);
        QVERIFY(grid->CommitValue(rate, QStringLiteral("Same as source")));
        ApplyPropertyChange(rate, root.get(), grid.get());
        QVERIFY(!GetParamFromTree(root.get()).contains(QStringLiteral("-r")));
        QVERIFY(grid->CommitValue(rate, QStringLiteral("25 fps")));
        ApplyPropertyChange(rate, root.get(), grid.get());
        QVERIFY(GetParamFromTree(root.get()).contains(QStringLiteral(" -r 25")));
    }

    void aspectChoiceSetsTheMode()
    {
        const QString program = TestSupport::SourceDir() + QStringLiteral("/data/");
        ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        CurrentProfile profile(program);
        profile.Select(QStringLiteral("AVI (MPEG-4/MP3)"));
        QCOMPARE(profile.AspectMode(), 3);
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), profile.Tree());
        PropertyGridItem *aspect = grid->FindByKey(QStringLiteral("aspect"));
        QVERIFY(aspect);
        QCOMPARE(grid->GetProperty(0)->GetSubItem(4), aspect);
        const QString lastOption = aspect->GetOptions().value(7);
        QVERIFY(grid->CommitValue(aspect, lastOption));
        QVERIFY(ApplyCurrentProfileChange(profile, aspect, grid.get()));
        QCOMPARE(profile.AspectMode(), 7);
        const ParamCell *cell = FindCell(profile.Tree(), QStringLiteral("aspect"));
        QVERIFY(cell->AlowEdit);
        QCOMPARE(cell->UsedType, 102);
        QVERIFY(!GetParamFromTree(profile.Tree()).contains(QStringLiteral("-aspect")));
        // Text found in no entry: the mode stays.
        const PropertyChangeResult none = [&] {
            aspect->AllowEdit(true);
            grid->CommitValue(aspect, QStringLiteral("no such mode"));
            return ApplyPropertyChange(aspect, profile.Tree(), grid.get());
        }();
        QVERIFY(none.applied);
        QVERIFY(!none.aspectMode);
    }

    void trimCellsAreShownButNotStored()
    {
        auto root = ParamCell::MakeRoot();
        auto t = makeCell("t", ParamCell::kNumber);
        t->fValue = 3725.9f;
        root->AddChild(std::move(t));
        auto zero = makeCell("timestamp", ParamCell::kNumber);
        zero->strShowName = QStringLiteral("zero");
        root->AddChild(std::move(zero));
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *tProperty = grid->GetProperty(0)->GetSubItem(0);
        QCOMPARE(tProperty->GetValue(), QStringLiteral("01:02:05"));
        QCOMPARE(grid->GetProperty(0)->GetSubItem(1)->GetValue(), QString());

        QVERIFY(grid->CommitValue(tProperty, QStringLiteral("00:00:10")));
        QVERIFY(ApplyPropertyChange(tProperty, root.get(), grid.get()).applied);
        const ParamCell *cell = FindCell(root.get(), QStringLiteral("t"));
        QCOMPARE(cell->fValue, 3725.9f);
        QCOMPARE(cell->SValue.str(), QString());

        // "ss" is never shown; a property that names it changes nothing either.
        auto ss = makeCell("ss", ParamCell::kNumber);
        ss->fValue = 30;
        root->AddChild(std::move(ss));
        PropertyGridItem *group = grid->GetProperty(0);
        PropertyGridItem *fake = grid->AddProperty(
            group, std::make_unique<PropertyGridItem>(QStringLiteral("Video Codec"), QStringLiteral("99"), QString()));
        fake->SetKey(QStringLiteral("ss"));
        ApplyPropertyChange(fake, root.get(), grid.get());
        QCOMPARE(FindCell(root.get(), QStringLiteral("ss"))->fValue, 30.0f);
    }

    void numberEditReachesTheEngine()
    {
        auto root = ParamCell::MakeRoot();
        auto g = makeCell("g", ParamCell::kNumber);
        g->fValue = 12;
        root->AddChild(std::move(g));
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        PropertyGridItem *property = grid->GetProperty(0)->GetSubItem(0);
        QCOMPARE(property->GetValue(), QStringLiteral("12"));
        QCOMPARE(GetParamFromTree(root.get()), QStringLiteral(" -g 12"));
        QVERIFY(grid->CommitValue(property, QStringLiteral("25")));
        ApplyPropertyChange(property, root.get(), grid.get());
        QCOMPARE(GetParamFromTree(root.get()), QStringLiteral(" -g 25"));
        QCOMPARE(FindCell(root.get(), QStringLiteral("g"))->SValue.str(), QStringLiteral("25"));
        // An empty value is no edit.
        QVERIFY(grid->CommitValue(property, QString()));
        ApplyPropertyChange(property, root.get(), grid.get());
        QCOMPARE(GetParamFromTree(root.get()), QStringLiteral(" -g 25"));
    }

    void disabledCellsCannotBeTyped()
    {
        auto grid = makeGrid();
        PropertyGridItem *group = grid->AddGroup(QStringLiteral("G"));
        auto number = makeCell("g", ParamCell::kNumber, false);
        number->fValue = 5;
        PropertyGridItem *n = AddCellProperty(*number, group, grid.get());
        QCOMPARE(n->GetValue(), QString());
        QVERIFY(!n->IsAllowEdit());
        auto text = makeCell("title", ParamCell::kText, false);
        text->SValue = QStringLiteral("kept out");
        PropertyGridItem *t = AddCellProperty(*text, group, grid.get());
        QCOMPARE(t->GetValue(), QString());
        QVERIFY(!grid->CommitValue(t, QStringLiteral("x")));
    }

    void editsReachCellsInAnyLanguage()
    {
        useLanguage(kGerman);
        auto root = videoTree();
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), root.get());
        QCOMPARE(grid->GetProperty(1)->GetName(), QStringLiteral("Ton"));
        PropertyGridItem *ab = grid->GetProperty(1)->GetSubItem(0);
        QCOMPARE(ab->GetName(), QStringLiteral("Audio-Bitrate"));
        QVERIFY(grid->CommitValue(ab, QStringLiteral("64 Kb/s")));
        QVERIFY(ApplyPropertyChange(ab, root.get(), grid.get()).applied);
        QCOMPARE(FindCell(root.get(), QStringLiteral("ab"))->SValue.str(), QStringLiteral("64000"));

        PropertyGridItem *size = grid->GetProperty(0)->GetSubItem(1);
        QCOMPARE(size->GetName(), QStringLiteral("Bildgröße"));
        QVERIFY(grid->CommitValue(size, QStringLiteral("same to source")));
        ApplyPropertyChange(size, root.get(), grid.get());
        QVERIFY(!grid->GetProperty(0)->GetSubItem(4)->IsEnabled());
    }

    void lookColours()
    {
        auto grid = makeGrid();
        SetGridLook(grid.get(), 1);
        QVERIFY(!grid->isEnabled());
        QCOMPARE(grid->GetCustomColors().background, QColor(0xEC, 0xE9, 0xD8));
        QCOMPARE(grid->GetCustomColors().text, QColor(0xAC, 0xA8, 0x99));
        QCOMPARE(grid->GetCustomColors().lines, QColor(0x9F, 0x9F, 0xFF));
        auto root = videoTree();
        ShowParamFromTree(grid.get(), root.get());
        QVERIFY(!grid->CommitValue(grid->GetProperty(1)->GetSubItem(0), QStringLiteral("64 Kb/s")));

        SetGridLook(grid.get(), 0);
        QVERIFY(grid->isEnabled());
        const PropertyGridColors active = grid->GetCustomColors();
        QCOMPARE(active.background, QColor(0xFF, 0xFF, 0xFF));
        QCOMPARE(active.text, QColor(0x2E, 0x46, 0xA5));
        QCOMPARE(active.groupBackground, QColor(0xED, 0xED, 0xED));
        QCOMPARE(active.descriptionText, QColor(0x80, 0x00, 0x00));

        grid->SetCustomColors(MainGridColors());
        QCOMPARE(grid->GetCustomColors().background, QColor(0xE4, 0xF3, 0xFE));
        QCOMPARE(grid->GetCustomColors().groupBackground, QColor(0xC8, 0xEC, 0xD1));
        QCOMPARE(grid->GetCustomColors().groupText, QColor(0x21, 0x66, 0x31));
        QCOMPARE(grid->GetCustomColors().descriptionBackground, QColor(0xFF, 0xE5, 0xD8));

        // The colours are what is painted: a group row and a property's value cell.
        QCoreApplication::processEvents();
        const QImage image = grid->tree()->viewport()->grab().toImage();
        const QRect groupRow = grid->tree()->visualItemRect(grid->GetProperty(0));
        const QRect propertyRow = grid->tree()->visualItemRect(grid->GetProperty(0)->GetSubItem(0));
        QCOMPARE(QColor(image.pixel(groupRow.right() - 3, groupRow.center().y())), QColor(0xC8, 0xEC, 0xD1));
        QCOMPARE(QColor(image.pixel(propertyRow.right() - 3, propertyRow.top() + 2)), QColor(0xE4, 0xF3, 0xFE));
    }

    void detailDialogEditsTheCurrentTree()
    {
        TestSupport::ScriptedPrompterGuard prompter;
        const QString program = TestSupport::SourceDir() + QStringLiteral("/data/");
        ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        CurrentProfile profile(program);
        profile.Select(QStringLiteral("MP4 (H.264/AAC)"));
        const QString before = profile.Summary();
        QVERIFY(before.contains(QStringLiteral("BitRate:128 Kb/s")));

        bool checked = false;
        prompter->dialogHandlers.push_back([&](QDialog *dialog) {
            auto *grid = FindControl<PropertyGrid>(dialog, CDetailDialog::kGridId);
            if (!grid || !FindControl<QPushButton>(dialog, CDetailDialog::kOkId) ||
                !FindControl<QPushButton>(dialog, CDetailDialog::kCancelId))
                return int(QDialog::Rejected);
            PropertyGridItem *ab = grid->FindByKey(QStringLiteral("ab"));
            checked = grid->isEnabled() && ab && grid->CommitValue(ab, QStringLiteral("192 Kb/s"));
            return int(QDialog::Accepted);
        });
        QCOMPARE(RunDetailDialog(nullptr, profile, QStringLiteral("MP4 (H.264/AAC)")), int(QDialog::Accepted));
        QVERIFY(checked);
        QCOMPARE(prompter->dialogTitles, QStringList{"MP4 (H.264/AAC)"});
        QCOMPARE(FindCell(profile.Tree(), QStringLiteral("ab"))->SValue.str(), QStringLiteral("192000"));
        QVERIFY(profile.Summary().contains(QStringLiteral("BitRate:192000 Kb/s")));

        // Cancel keeps the edit but leaves the summary alone.
        prompter->dialogHandlers.push_back([](QDialog *dialog) {
            auto *grid = FindControl<PropertyGrid>(dialog, CDetailDialog::kGridId);
            grid->CommitValue(grid->FindByKey(QStringLiteral("ab")), QStringLiteral("64 Kb/s"));
            return int(QDialog::Rejected);
        });
        RunDetailDialog(nullptr, profile, QStringLiteral("x"));
        QCOMPARE(FindCell(profile.Tree(), QStringLiteral("ab"))->SValue.str(), QStringLiteral("64000"));
        QVERIFY(profile.Summary().contains(QStringLiteral("BitRate:192000 Kb/s")));
    }

    void loadProfilesAndSwitch()
    {
        TestSupport::ProgramFolder folder;
        QVERIFY(folder.isValid());
        QComboBox combo;
        QSignalSpy selections(&combo, &QComboBox::currentIndexChanged);
        auto grid = makeGrid();
        CurrentProfile profile(folder.path());
        QVERIFY(LoadProfiles(folder.file(QStringLiteral("profile.ini")), &combo, grid.get(), profile));
        QCOMPARE(selections.count(), 0);
        QVERIFY(combo.count() >= 15);
        QCOMPARE(combo.itemText(1), QStringLiteral("AVI (MPEG-4/MP3)"));
        QCOMPARE(combo.currentIndex(), 0);
        QCOMPARE(profile.Name(), QStringLiteral("MP4 (H.264/AAC)"));
        QCOMPARE(profile.File(), folder.file(QStringLiteral("profiles/mp4_h264_aac.ini")));
        QCOMPARE(grid->GetProperty(0)->GetSubItemsCount(), 5);
        QCOMPARE(GetTargetType(profile.Name(), folder.path()), QStringLiteral("mp4"));

        combo.setCurrentIndex(combo.findText(QStringLiteral("MP3 audio")));
        OnProfileSelectionChange(&combo, grid.get(), profile);
        QCOMPARE(profile.Name(), QStringLiteral("MP3 audio"));
        QCOMPARE(profile.AspectMode(), -1);
        QCOMPARE(grid->GetProperty(0)->GetSubItemsCount(), 0);
        QVERIFY(grid->GetProperty(1)->GetSubItemsCount() >= 3);
        QVERIFY(GetParamFromTree(profile.Tree()).contains(QStringLiteral("-acodec libmp3lame")));
    }

    void loadProfilesWithoutCatalogue_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("selected");
        QTest::newRow("no file") << QString() << 10 << 0;
        QTest::newRow("default beyond the list")
            << "[AllCount]\nAllSetNumbers=2\n[profile1]\nSetName=A\nPath=a.ini\n[profile2]\nSetName=B\nPath=b.ini\n"
               "[AllSetProfile]\nDefault=5\n"
            << 2 << -1;
    }
    void loadProfilesWithoutCatalogue()
    {
        QFETCH(QString, catalogue);
        QFETCH(int, entries);
        QFETCH(int, selected);
        QTemporaryDir dir;
        const QString program = dir.path() + u'/';
        if (!catalogue.isEmpty()) {
            QFile f(program + QStringLiteral("profile.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(catalogue.toUtf8());
        }
        QComboBox combo;
        auto grid = makeGrid();
        CurrentProfile profile(program);
        QVERIFY(LoadProfiles(program + QStringLiteral("profile.ini"), &combo, grid.get(), profile));
        QCOMPARE(combo.count(), entries);
        QCOMPARE(combo.currentIndex(), selected);
        QCOMPARE(profile.Name(), QString());
        QCOMPARE(profile.File(), program);
        QCOMPARE(grid->GetPropertyCount(), 3);
        for (int g = 0; g < 3; ++g)
            QCOMPARE(grid->GetProperty(g)->GetSubItemsCount(), 0);
        QCOMPARE(GetParamFromTree(profile.Tree()), QString());
    }

    // The worker copies the current tree while the window edits it and switches profiles;
    // run under a sanitizer this shows whether the two ever touch the same cells unguarded.
    void snapshotsWhileEditing()
    {
        const QString program = TestSupport::SourceDir() + QStringLiteral("/data/");
        ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        CurrentProfile profile(program);
        profile.Select(QStringLiteral("MP4 (H.264/AAC)"));
        auto grid = makeGrid();
        ShowParamFromTree(grid.get(), profile.Tree());

        std::atomic<bool> stop{false};
        std::atomic<int> snapshots{0};
        QStringList unexpected;
        QThread *worker = QThread::create([&] {
            while (!stop) {
                const ProfileSnapshot snapshot = profile.Snapshot();
                const QString options = GetParamFromTree(snapshot.tree.get());
                if (!options.contains(QStringLiteral("-vcodec libx264")) || snapshot.name.isEmpty())
                    unexpected << options;
                ++snapshots;
            }
        });
        worker->start();
        while (snapshots == 0)
            QThread::yieldCurrentThread();
        for (int i = 0; i < 300; ++i) {
            PropertyGridItem *ab = grid->FindByKey(QStringLiteral("ab"));
            QVERIFY(grid->CommitValue(ab, i % 2 ? QStringLiteral("64 Kb/s") : QStringLiteral("192 Kb/s")));
            QVERIFY(ApplyCurrentProfileChange(profile, ab, grid.get()));
            if (i % 60 == 59) {
                profile.Select(i % 120 == 59 ? QStringLiteral("MKV (H.264/AAC)") : QStringLiteral("MP4 (H.264/AAC)"));
                ShowParamFromTree(grid.get(), profile.Tree());
            }
        }
        const int before = snapshots;
        while (snapshots < before + 2)
            QThread::yieldCurrentThread();
        stop = true;
        worker->wait();
        delete worker;
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
    }

    void failuresReachThePrompter()
    {
        TestSupport::ScriptedPrompterGuard prompter;
        InstallUserMessageHandler();
        auto broken = ParamCell::MakeRoot();
        broken->pChildren.push_back(nullptr);
        QCOMPARE(GetParamFromTree(broken.get()), QString());
        // From the worker thread the message is shown by the interface thread.
        QString fromWorker = QStringLiteral("not run");
        QThread *worker = QThread::create([&] { fromWorker = GetParamFromTree(broken.get()); });
        QEventLoop loop;
        connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
        worker->wait();
        delete worker;
        SetUserMessageHandler(nullptr);
        QCOMPARE(fromWorker, QString());
        const QString message = QStringLiteral("Function:GetParamFromTree(CMpegStructs m_SetParamCells) ERROR!");
        QCOMPARE(prompter->messageTexts(), (QStringList{message, message}));
    }
};

QTEST_MAIN(TestParamEditor)
#include "test_parameditor.moc"
