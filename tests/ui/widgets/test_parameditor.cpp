#include <QComboBox>
#include <QLineEdit>
#include <QThread>
#include <QtTest>

#include "base/UserMessage.h"
#include "ui/dialogs/CDetailDialog.h"
#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamDisplayNames.h"
#include "core/profiles/ParamOptions.h"
#include "ui/widgets/ParameterEditor.h"
#include "ui/widgets/ProfileSelector.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/PropertyGrid.h"
#include "support/CellBuilders.h"

using namespace CellBuilders;
using Texts = QHash<QString, QString>;

namespace {

void useLanguage(const Texts &texts) { ParamDisplayNames::Rebuild([&](const QString &id) { return texts.value(id); }); }

// vcodec, s, vb, r, aspect in the first group; ab in the second; title in the third.
std::unique_ptr<ParamCell> videoTree()
{
    auto title = placed(makeText("title", QString()), QStringLiteral("3,1"));
    title->Help = QStringLiteral("Title stored in the file.");
    return makeTree(makeList("vcodec", {"mpeg4|MPEG-4"}, 0),
                    placed(makeList("s", {"|same to source", "320x240|320x240", "640x480|640x480"}, 1), "1,2", true),
                    placed(makeList("vb", {"800|800 Kb/s", "1200|1200 Kb/s"}, 1, QStringLiteral("Kb/s")), "1,3"),
                    placed(makeList("r", {"|Same as source", "25|25 fps"}, 1, QStringLiteral("fps")), "1,4"),
                    placed(makeList("aspect", {"0|Off", "1|Stretch", "2|Crop", "3|Fit centred", "4|Fit right",
                                               "5|Fit left", "6|Fit bottom", "7|Fit top"}, 3), "1,5"),
                    placed(makeList("ab", {"64|64 Kb/s", "128|128 Kb/s", "192|192 Kb/s"}, 1, QStringLiteral("Kb/s")),
                           "2,2", true),
                    std::move(title));
}

// A tree shown in a grid on screen; every edit in the grid goes back into the tree.
struct Shown
{
    std::unique_ptr<ParamCell> root;
    std::unique_ptr<PropertyGrid> grid{CreateParamGrid(nullptr)};
    PropertyChangeResult last;

    explicit Shown(std::unique_ptr<ParamCell> tree = nullptr) : root(std::move(tree))
    {
        grid->resize(400, 500);
        grid->show();
        ShowParamFromTree(grid.get(), root.get());
        QObject::connect(grid.get(), &PropertyGrid::PropertyChanged, grid.get(),
                         [this](PropertyGridItem *p) { last = ApplyPropertyChange(p, root.get(), grid.get()); });
    }
    PropertyGridItem *at(int group, int index) const { return grid->GetProperty(group)->GetSubItem(index); }
    const ParamCell *cell(const char *name) const { return FindCell(root.get(), QString::fromLatin1(name)); }
    QString options() const { return GetParamFromTree(root.get()).Text(); }
    // The editor the grid opens for a property, as a user's click does.
    template <typename Editor> Editor *edit(PropertyGridItem *property)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // editors closed before
        grid->EditValue(property);
        const QList<Editor *> editors = grid->tree()->viewport()->findChildren<Editor *>();
        return editors.size() == 1 ? editors.front() : nullptr;
    }
    bool choose(PropertyGridItem *property, const QString &option)
    {
        QComboBox *combo = edit<QComboBox>(property);
        const int index = combo ? combo->findText(option) : -1;
        if (index >= 0) {
            combo->setCurrentIndex(index);
            emit combo->activated(index);
            QCoreApplication::processEvents();
        }
        return index >= 0;
    }
};

} // namespace

class TestParamEditor : public QObject
{
    Q_OBJECT

private slots:
    void init() { useLanguage({}); }

    // Where a cell is shown ("group value [options] enabled typed", "-" when it is not), and
    // whether the user may change or type it.
    void cellProperty_data()
    {
        QTest::addColumn<std::shared_ptr<ParamCell>>("cell");
        QTest::addColumn<QString>("shown");
        auto row = [](const char *tag, std::unique_ptr<ParamCell> cell, const char *shown) {
            QTest::newRow(tag) << std::shared_ptr<ParamCell>(std::move(cell)) << QString::fromUtf8(shown);
        };
        auto mode = [](int m) { auto cell = makeText("ab", "v"); return cell->nUserMode = m, std::move(cell); };
        auto typed = [](std::unique_ptr<ParamCell> cell) { return cell->AlowEdit = true, std::move(cell); };
        const QStringList two{"1|One", "2|Two"};
        row("mode 3: shown disabled", mode(3), "0 v [] disabled fixed");
        row("mode 2: hidden", mode(2), "-");
        row("cell disabled", makeText("ab", "v", false), "-");
        row("ss never", makeNumber("ss", 30), "-");
        row("t as a clock", makeNumber("t", 3725.9f), "0 01:02:05 [] enabled typed");
        row("number zero shows nothing", makeNumber("g", 0), "0  [] enabled typed");
        row("group 4", placed(makeText("ab", "v"), "4,1"), "-");
        row("mode 1, blanks around the group", placed(makeText("ab", "v"), " 3 , 9"), "2 v [] enabled typed");
        row("duplicates once", typed(makeList("acodec", {"a|Same", "b| Same", "c|Other"}, 2)), "0 Other [Same|Other] enabled typed");
        row("single entry never typed", typed(makeList("vcodec", {"mpeg4|MPEG-4"}, 0)), "0 MPEG-4 [MPEG-4] enabled fixed");
        row("typing forbidden", makeList("acodec", two, 0), "0 One [One|Two] enabled fixed");
        row("no current entry", typed(makeList("acodec", two, -1)), "0  [One|Two] enabled typed");
        row("Kb/s user value", withUserValue(makeList("ab", {"1|1 Kb/s"}, 0, "Kb/s"), "192000"), "0 192 Kb/s [1 Kb/s] enabled fixed");
    }
    void cellProperty()
    {
        QFETCH(std::shared_ptr<ParamCell>, cell);
        QFETCH(QString, shown);
        Shown s(makeTree(cell->Clone()));
        QStringList seen;
        for (int g = 0; g < 3; ++g)
            for (int i = 0; i < s.grid->GetProperty(g)->GetSubItemsCount(); ++i) {
                PropertyGridItem *property = s.at(g, i);
                const QString before = QStringLiteral("%1 %2 [%3] %4").arg(g).arg(property->GetValue(),
                    property->GetOptions().join(u'|'), property->IsEnabled() ? "enabled" : "disabled");
                if (cell->nValueType == ParamCell::kList) { // the real drop-down agrees
                    QComboBox *combo = s.edit<QComboBox>(property);
                    QVERIFY(combo && combo->count() == property->GetOptions().size());
                    QCOMPARE(combo->isEditable(), shown.endsWith("typed"));
                }
                seen << before + (s.grid->CommitValue(property, QStringLiteral("typed")) ? " typed" : " fixed");
            }
        QCOMPARE(seen.isEmpty() ? QStringLiteral("-") : seen.join(u','), shown);
    }

    // The video tree under translated labels: the edits reach their cells whatever the labels say.
    void editsUnderTranslatedLabels()
    {
        useLanguage({{"@75", "Bild"}, {"@70", "Ton"}, {"@63", "Metadaten"}, {"@64", "Titel"}, {"@72", "Audio-Bitrate"}});
        Shown s(videoTree());
        QStringList groups;
        for (int g = 0; g < 3; ++g)
            groups << s.grid->GetProperty(g)->GetName();
        QCOMPARE(groups, (QStringList{"Bild", "Ton", "Metadaten"}));
        s.grid->tree()->setCurrentItem(s.at(2, 0));
        QCOMPARE(s.grid->DescriptionTitle(), QStringLiteral("Titel"));
        QCOMPARE(s.grid->DescriptionText(), QStringLiteral("Title stored in the file."));
        QCOMPARE(s.at(1, 0)->GetName(), QStringLiteral("Audio-Bitrate"));
        // A frame of the source's size leaves nothing to fit: the aspect is disabled then.
        const ParamCell *aspect = s.cell("aspect");
        QVERIFY(s.at(0, 4)->IsEnabled());
        QVERIFY(s.choose(s.at(0, 1), QStringLiteral("same to source")));
        QVERIFY(!s.at(0, 4)->IsEnabled());
        QCOMPARE(aspect->nUserMode & ParamCell::kDisabled, ParamCell::kDisabled);
        QVERIFY(!s.options().contains(QStringLiteral("-s ")));

        QVERIFY(s.choose(s.at(0, 1), QStringLiteral("640x480")));
        QVERIFY(s.at(0, 4)->IsEnabled());
        QCOMPARE(aspect->nUserMode & ParamCell::kDisabled, 0);
        QVERIFY(s.options().contains(QStringLiteral(" -s 640x480")));
        // Choosing an aspect gives its mode, and the aspect never becomes an option.
        QVERIFY(s.choose(s.at(0, 4), QStringLiteral("Fit top")));
        QCOMPARE(s.last.aspectMode.value_or(-1), 7);
        QVERIFY(!s.options().contains(QStringLiteral("-aspect")));
        s.at(0, 4)->AllowEdit(true);
        QVERIFY(s.grid->CommitValue(s.at(0, 4), QStringLiteral("no such mode")));
        QVERIFY(s.last.applied && !s.last.aspectMode);
        // A bit rate chosen stands out and reaches the engine in bit/s; typed, its leading number counts.
        QVERIFY(s.choose(s.at(1, 0), QStringLiteral("192 Kb/s")));
        QVERIFY(s.at(1, 0)->font(1).bold());
        QVERIFY(s.options().contains(QStringLiteral(" -ab 192000")));
        QVERIFY(s.grid->CommitValue(s.at(1, 0), QStringLiteral("96 or so")));
        QCOMPARE(s.cell("ab")->SValue.str(), QStringLiteral("96000"));
        // The grey look refuses edits until the grid is given its colours back.
        SetGridLook(s.grid.get(), 1);
        QVERIFY(!s.grid->isEnabled());
        QVERIFY(!s.grid->CommitValue(s.at(1, 0), QStringLiteral("64 Kb/s")));
        const PropertyGridColors grey = s.grid->GetCustomColors();
        SetGridLook(s.grid.get(), 0);
        QVERIFY(s.grid->isEnabled() && s.grid->CommitValue(s.at(1, 0), QStringLiteral("64 Kb/s")));
        QVERIFY(s.grid->GetCustomColors().text != grey.text);
        QCOMPARE(s.cell("ab")->SValue.str(), QStringLiteral("64000"));
    }

    // Target cells in another language: their choices and help come from the language file,
    // a chosen choice selects its entry, a typed value reaches the engine as typed.
    void targetCells_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("value"); // chosen from the drop-down when it is one of its texts, else typed
        QTest::addColumn<QString>("options");
        QTest::newRow("preset") << "loudness" << "-16 LUFS (Web und Podcasts)" << " -loudness -16";
        QTest::newRow("off") << "loudness" << "Aus" << "";
        QTest::newRow("typed loudness") << "loudness" << "-18.5" << " -loudness -18.5";
        QTest::newRow("typed size") << "target-size" << " 20MiB" << " -target-size 20MiB -loudness -23";
        QTest::newRow("quality preset") << "target-ssim" << "0.97 (gut)" << " -target-ssim 0.97 -loudness -23";
    }
    void targetCells()
    {
        QFETCH(QString, cell);
        QFETCH(QString, value);
        QFETCH(QString, options);
        useLanguage({{"@306", "Aus"}, {"@308", "-16 LUFS (Web und Podcasts)"}, {"@312", "0.97 (gut)"}, {"@303", "Lautheit angleichen"}});
        Shown s(makeTree(placed(makeList("target-size", {"|Off", "25M|25 MB"}, 0), "1,1", true),
                         placed(makeList("target-ssim", {"|Off", "0.97|0.97 (good)"}, 0), "1,2", true),
                         placed(makeList("loudness", {"|Off", "-23|-23 LUFS (broadcast)", "-16|-16 LUFS (web and podcasts)"}, 1),
                                "2,1", true)));
        const int group = cell == "loudness" ? 1 : 0, index = cell == "target-ssim" ? 1 : 0;
        QVERIFY(s.at(group, index)->GetOptions().contains("Aus"));
        if (s.at(group, index)->GetOptions().contains(value))
            QVERIFY(s.choose(s.at(group, index), value));
        else
            QVERIFY(s.grid->CommitValue(s.at(group, index), value));
        QCOMPARE(s.options(), options);
        ShowParamFromTree(s.grid.get(), s.root.get());
        QCOMPARE(s.at(group, index)->GetValue(), value.trimmed()); // the grid filled again shows what was chosen
        s.grid->tree()->setCurrentItem(s.at(1, 0));
        QCOMPARE(s.grid->DescriptionText(), QStringLiteral("Lautheit angleichen"));
    }

    // A number typed into its editor reaches the engine. The trim cells shown belong to the task:
    // an edit of them leaves the tree alone.
    void numberAndTrimEdits()
    {
        Shown s(makeTree(makeNumber("g", 12), makeNumber("t", 3725.9f)));
        QLineEdit *edit = s.edit<QLineEdit>(s.at(0, 0));
        QVERIFY(edit);
        edit->setText(QStringLiteral("25"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents(); // the view commits on its next turn
        QCOMPARE(s.cell("g")->fValue, 25.0f);
        QVERIFY(s.grid->CommitValue(s.at(0, 0), QString())); // an empty value is no edit
        QVERIFY(s.grid->CommitValue(s.at(0, 1), QStringLiteral("00:00:10")));
        QVERIFY(s.last.applied);
        QCOMPARE(s.cell("t")->SValue.str(), QString());
        QCOMPARE(s.options(), QStringLiteral(" -g 25 -t 3726"));
        // "ss" is never shown; a property that names it changes nothing either.
        s.root->AddChild(makeNumber("ss", 30));
        auto fake = std::make_unique<PropertyGridItem>(QStringLiteral("x"), QStringLiteral("99"), QString());
        fake->SetKey(QStringLiteral("ss"));
        QVERIFY(ApplyPropertyChange(fake.get(), s.root.get(), s.grid.get()).applied);
        QCOMPARE(s.cell("ss")->fValue, 30.0f);
    }

    void loadProfilesDetailAndSwitch()
    {
        TestSupport::ProgramFolder folder;
        TestSupport::ScriptedPrompterGuard prompter;
        QComboBox combo;
        Shown s;
        CurrentProfile profile(AppFolders::ForProgram(folder.exePath()));
        QVERIFY(LoadProfiles(folder.file(QStringLiteral("profile.ini")), &combo, s.grid.get(), profile));
        QCOMPARE(combo.currentIndex(), 0);
        QCOMPARE(profile.Name(), QStringLiteral("MP4 H.264 (fast, constant quality)"));
        QVERIFY(s.grid->GetProperty(0)->GetSubItemsCount() > 0);
        QVERIFY2(profile.Summary().startsWith("Video:H.264 (x264),size:same to source,BitRate:CRF 23,"), qPrintable(profile.Summary()));

        // Detail: Ok keeps the edit and refreshes the summary; Cancel keeps the edit only.
        const auto answer = [](const QString &rate, int result) {
            return [rate, result](QDialog *dialog) {
                auto *grid = FindControl<PropertyGrid>(dialog, CDetailDialog::kGridId);
                return grid && grid->isEnabled() && grid->CommitValue(grid->FindByKey("ab"), rate) ? result : -1;
            };
        };
        prompter->dialogHandlers = {answer("192 Kb/s", QDialog::Accepted), answer("64 Kb/s", QDialog::Rejected)};
        QCOMPARE(RunDetailDialog(nullptr, profile, profile.Name()), int(QDialog::Accepted));
        QCOMPARE(prompter->dialogTitles, QStringList{"MP4 H.264 (fast, constant quality)"});
        QVERIFY(profile.Summary().contains(QStringLiteral("BitRate:192000 Kb/s")));
        QCOMPARE(RunDetailDialog(nullptr, profile, profile.Name()), int(QDialog::Rejected));
        QCOMPARE(FindCell(profile.Tree(), QStringLiteral("ab"))->SValue.str(), QStringLiteral("64000"));
        QVERIFY(profile.Summary().contains(QStringLiteral("BitRate:192000 Kb/s")));

        combo.setCurrentIndex(combo.findText(QStringLiteral("MP3 audio")));
        OnProfileSelectionChange(&combo, s.grid.get(), profile);
        QCOMPARE(profile.Name(), QStringLiteral("MP3 audio"));
        QCOMPARE(profile.AspectMode(), -1);
        QCOMPARE(s.grid->GetProperty(0)->GetSubItemsCount(), 0);
        QVERIFY(GetParamFromTree(profile.Tree()).Text().contains(QStringLiteral("-acodec libmp3lame")));
    }

    void failureFromAWorkerReachesThePrompter()
    {
        TestSupport::ScriptedPrompterGuard prompter;
        InstallUserMessageHandler();
        auto broken = makeTree();
        broken->pChildren.push_back(nullptr);
        EngineOptions fromWorker({QStringLiteral("not run")});
        std::unique_ptr<QThread> worker(QThread::create([&] { fromWorker = GetParamFromTree(broken.get()); }));
        QEventLoop loop;
        connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
        worker->wait();
        SetUserMessageHandler(nullptr);
        QVERIFY(fromWorker.IsEmpty());
        QCOMPARE(prompter->messageTexts(), QStringList{"Function:GetParamFromTree(CMpegStructs m_SetParamCells) ERROR!"});
    }
};

QTEST_MAIN(TestParamEditor)
#include "test_parameditor.moc"
