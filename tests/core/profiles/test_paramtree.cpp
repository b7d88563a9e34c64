#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <map>

#include "core/profiles/CMpegStructs.h"
#include "core/profiles/CurrentProfile.h"
#include "core/profiles/ParamOptions.h"
#include "core/profiles/ProfileCatalogue.h"
#include "support/MediaReader.h"
#include "support/TestSupport.h"
#include "core/profiles/TargetCells.h"
#include "support/CellBuilders.h"

using namespace CellBuilders;

namespace {

QString node(int i, const QStringList &lines) { return QStringLiteral("[node%1]\n%2\n").arg(i).arg(lines.join(u'\n')); }

QStringList cellLines(const QString &name, const QString &father, int type, const QStringList &extra = {})
{
    return QStringList{"strCelltName=" + name, "strShowName=" + name, "strFatherName=" + father, "Enable=TRUE",
                       QStringLiteral("nValueType=%1").arg(type)} +
           extra;
}

QStringList childNames(const ParamCell *cell)
{
    QStringList names;
    for (const auto &child : cell->pChildren)
        names << child->strCelltName.str();
    return names;
}

// The fields that "keys" names ("a=...; b=..."), read from the tree's first cell, as "a=value; b=value".
QString describe(const CMpegStructs &tree, const QString &keys)
{
    const ParamCell &c = *tree.GetRoot()->pChildren.at(0);
    const auto n = [](auto v) { return QString::number(v); };
    const std::map<QString, QString> fields{
        {"Enable", n(c.Enable)}, {"AlowEdit", n(c.AlowEdit)}, {"nLevel", n(c.nLevel)}, {"nUserMode", n(c.nUserMode)},
        {"UsedType", n(c.UsedType)}, {"sDefault", n(c.sDefault)}, {"nStrArraySize", n(c.nStrArraySize)},
        {"fValue", n(c.fValue)}, {"fMAx", n(c.fMAx)}, {"fMin", n(c.fMin)}, {"strUnit", c.strUnit.str()},
        {"strOption", c.strOption.str()}, {"strShowName", c.strShowName.str()}, {"SValue", c.SValue.str()},
        {"filled", n(std::count_if(c.sValues.begin(), c.sValues.end(), [](auto &e) { return !e.isEmpty(); }))},
        {"last", c.sValues[39].str()}, {"HelpLength", n(c.Help.str().size())},
        {"SValueLength", n(c.SValue.str().size())}, {"entry0Length", n(c.sValues[0].str().size())},
        {"options", GetParamFromTree(tree.GetRoot()).Text()}, {"units", n(tree.m_unitMap.size())}, {"values", tree.m_strValues}};
    QStringList out;
    for (const QString &key : keys.split(QStringLiteral("; ")))
        out << key.section(u'=', 0, 0) + u'=' + fields.at(key.section(u'=', 0, 0));
    return out.join(QStringLiteral("; "));
}

} // namespace

class TestParamTree : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString &text, QString path = QString())
    {
        if (path.isEmpty())
            path = m_dir.filePath(QString::number(qHash(text)) + QStringLiteral(".ini"));
        TestSupport::WriteFile(path, text.toUtf8());
        return path;
    }
    QString profileFile(const QString &nodes, const QString &allset = QString(), const QString &path = QString())
    {
        const QString count = QString::number(nodes.count(QStringLiteral("[node")));
        return writeFile(QStringLiteral("[allset]\nnumbersofnodes=%1\n%2\n%3").arg(count, allset, nodes), path);
    }

private slots:
    void init() { ProfileMap::Instance().Clear(); }

    void fatherFirstAndThirtyChildren()
    {
        QString nodes = node(0, cellLines("child", "group", 4, {"SValue=early"})) + node(1, cellLines("group", "TOP", 3)) +
                        node(2, cellLines("child", "group", 4, {"SValue=late"})) + node(3, cellLines("orphan", "nobody", 4));
        for (int i = 4; i < 40; ++i)
            nodes += node(i, cellLines(QStringLiteral("c%1").arg(i), "TOP", 4));
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(nodes));
        ParamCell *root = tree.GetRoot();
        QCOMPARE(root->nChildCount(), 30);
        QCOMPARE(childNames(root).mid(0, 2), (QStringList{"group", "c4"}));
        QCOMPARE(root->pChildren.back()->strCelltName.str(), QStringLiteral("c32"));
        QCOMPARE(GetParamFromTree(root->pChildren.front().get()).Text(), QStringLiteral(" -child late"));
        QVERIFY(!FindCell(root, QStringLiteral("orphan")) && !FindCell(root, QStringLiteral("c33")));
        // Loading again replaces the whole tree, with only the root from a missing file, one that
        // counts no nodes or one without [allset].
        tree.LoadFromFile(profileFile(node(0, cellLines("second", "TOP", 4))));
        QCOMPARE(childNames(tree.GetRoot()), QStringList{"second"});
        for (const QString &path : {m_dir.filePath(QStringLiteral("does-not-exist.ini")),
                                    writeFile("[allset]\nnumbersofnodes=0\n" + node(0, cellLines("ab", "TOP", 4))),
                                    writeFile(node(0, cellLines("ab", "TOP", 4)))}) {
            QVERIFY2(tree.LoadFromFile(path), qPrintable(path));
            const ParamCell *top = tree.GetRoot();
            QVERIFY2(top && top->Enable && top->nValueType == ParamCell::kRoot && top->nChildCount() == 0, qPrintable(path));
            QCOMPARE(top->strCelltName.str(), QStringLiteral("TOP"));
        }
    }

    // One cell "ab" (a list unless the lines say otherwise); the row's lines come first and win.
    void cellFields_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        const QStringList text{"nValueType=4", "SValue=x"};
        for (const char *v : {"TRUE", "\"TRUE\"", "  TRUE  "})
            QTest::addRow("Enable=%s", v) << QStringList{"Enable=" + QString(v)} + text << "Enable=1; options= -ab x";
        for (const char *v : {"true", "1", "TRUE!", ""})
            QTest::addRow("Enable=%s", v) << QStringList{"Enable=" + QString(v)} + text << "Enable=0; options=";
        QStringList entries;
        for (int i = 0; i < 45; ++i)
            entries << QStringLiteral("sValues[%1]=%2|entry %2").arg(i).arg(i + 1);
        QTest::newRow("three of five") << QStringList{"nStrArraySize=3", "SValue=t"} + entries.mid(0, 5)
                                       << "nStrArraySize=3; filled=3; SValue=";
        QTest::newRow("size missing") << entries.mid(0, 5) << "nStrArraySize=-1; filled=0";
        QTest::newRow("more than forty") << QStringList{"nStrArraySize=45"} + entries
                                         << "nStrArraySize=40; filled=40; last=40|entry 40";
        QTest::newRow("size beyond the entries") << QStringList{"nStrArraySize=4"} + entries.mid(0, 2) << "filled=2";
        QTest::newRow("text cell reads no list") << QStringList{"nValueType=4", "nStrArraySize=3", "SValue=t"} + entries
                                                 << "nStrArraySize=0; filled=0; SValue=t";
        for (auto [name, unit] : {std::pair{"ab", "Kb/s"}, {"vb", "Kb/s"}, {"ar", "Hz"}, {"r", "fps"}, {"AB", ""}, {"ac", ""}})
            QTest::addRow("unit of %s", name) << QStringList{"strCelltName=" + QString(name)}
                                              << QStringLiteral("strUnit=%1; strOption=-%2; units=4").arg(unit, name);
        QTest::newRow("numbers") << QStringList{"fValue=25.5fps", "fMAx=abc", "fMin=-3", "nLevel=2", "AlowEdit=7",
                                                "nUserMode=3", "UsedType=102", "sDefault=+1"}
                                 << "fValue=25.5; fMAx=0; fMin=-3; nLevel=2; AlowEdit=1; nUserMode=3; UsedType=102; "
                                    "sDefault=1; values=kept as it is";
        QTest::newRow("keys missing") << QStringList{} << "nLevel=-1; sDefault=-1; AlowEdit=0";
        const QString longText(300, u'h');
        QTest::newRow("long texts") << QStringList{"nValueType=4", "Help=" + longText, "SValue=" + longText,
                                                   "strShowName=first", "strShowName=second"}
                                    << "HelpLength=249; SValueLength=199; strShowName=first";
        QTest::newRow("long entry") << QStringList{"nStrArraySize=1", "sValues[0]=" + longText} << "entry0Length=199";
    }
    void cellFields()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(node(0, lines + cellLines("ab", "TOP", 1)), QStringLiteral("values=kept as it is")));
        QCOMPARE(describe(tree, expected), expected);
    }

    // Cells looked up in a copy that outlives the tree it came from.
    void findCellInACopy()
    {
        // TOP -> a -> dup ; TOP -> dup ("Size") ; TOP -> second ("Size") ; TOP -> ab
        auto a = makeCell("a", ParamCell::kRoot);
        a->AddChild(makeText("dup", "deep"));
        auto source = makeTree(std::move(a), makeText("dup", "flat"), makeText("second", "x"),
                               makeList("ab", {"64|64 Kb/s", "128|128 Kb/s"}, 1, QStringLiteral("Kb/s")));
        source->pChildren.at(1)->strShowName = source->pChildren.at(2)->strShowName = QStringLiteral("Size");
        std::unique_ptr<ParamCell> root = CloneCells(source.get());
        FreeCells(source);
        QCOMPARE(GetParamFromTree(root.get()).Text(), QStringLiteral(" -dup flat -second x -ab 128"));
        QCOMPARE(FindCell(root.get(), QStringLiteral("dup"))->SValue.str(), QStringLiteral("deep"));
        QCOMPARE(FindCell(root.get(), QStringLiteral("TOP")), root.get());
        QVERIFY(!FindCell(root.get(), QStringLiteral("DUP")));
        QVERIFY(!FindCell(static_cast<ParamCell *>(nullptr), QStringLiteral("dup")));
        // By show name: direct children only, exact case, first match.
        QCOMPARE(FindCellByShowName(root.get(), QStringLiteral("Size"))->SValue.str(), QStringLiteral("flat"));
        QVERIFY(!FindCellByShowName(root.get(), QStringLiteral("dup")));
        QVERIFY(!CloneCells(nullptr));
    }

    void aspectMode()
    {
        const auto mode = [](const QStringList &entries, int current, const QString &name = QStringLiteral("aspect")) {
            return GetAspectMode(makeTree(makeList(name, entries, current)).get());
        };
        const QStringList modes{"0|Off", "1|Stretch", "3|Fit", "7|Top"};
        QCOMPARE(mode(modes, 2), 3);
        QCOMPARE(mode(modes, 2, QStringLiteral("Aspect")), -1); // the name is case-sensitive
        QCOMPARE(mode({" -2|odd"}, 0), -2);
        QCOMPARE(mode({"abc|x"}, 0), 0);
        QCOMPARE(mode(modes, -1), 0);
        QCOMPARE(mode(modes, 45), 0);
        QCOMPARE(GetAspectMode(nullptr), -1);
    }

    void optionString_data()
    {
        QTest::addColumn<std::shared_ptr<ParamCell>>("cell");
        QTest::addColumn<QString>("expected"); // the arguments, separated by "|"
        auto row = [](const char *tag, std::unique_ptr<ParamCell> cell, const char *expected) {
            QTest::newRow(tag) << std::shared_ptr<ParamCell>(std::move(cell)) << QString::fromUtf8(expected);
        };
        auto off = [](std::unique_ptr<ParamCell> cell) { return cell->Enable = false, std::move(cell); };
        auto used = [](std::unique_ptr<ParamCell> cell, int type) { return cell->UsedType = type, std::move(cell); };
        row("mp3 in acodec", makeList("acodec", {"mp3|MP3 audio"}, 0), "-acodec|mp3");
        row("UsedType 2 never emitted", used(makeList("ab", {"128|128"}, 0), ParamCell::kNeverEmitted), "");
        row("disabled list", off(makeList("ab", {"128|128"}, 0)), "");
        row("AsPeCt list with user value", withUserValue(makeList("AsPeCt", {"3|Fit"}, 0), "3"), "");
        row("number 0", makeNumber("r", 0), "");
        row("number -5", makeNumber("r", -5), "");
        row("number NaN", makeNumber("r", NAN), "");
        row("number 25.0", makeNumber("r", 25.0f), "-r|25");
        row("number rounds, ignores UsedType", used(makeNumber("g", 12.7f), ParamCell::kNeverEmitted), "-g|13");
        row("disabled number", makeNumber("r", 25, false), "");
        row("aspect text", makeText("aspect", "16:9"), "-aspect|16:9");
        row("text holding more options", used(makeText("f", "mp3 -vn"), ParamCell::kNeverEmitted), "-f|mp3|-vn");
        row("list holding more options", makeList("map", {"0:v:0? -map 0:a?|all"}, 0), "-map|0:v:0?|-map|0:a?");
        row("quoted stretch is one argument", makeText("vf", "a  \"b  c\" \"\""), "-vf|a|b  c|");
        row("metadata text is one argument", makeText("title", "-5 degrees  \"cold\""), "-title|-5 degrees  \"cold\"");
        row("disabled text", makeText("title", "x", false), "");
    }
    void optionString()
    {
        QFETCH(std::shared_ptr<ParamCell>, cell);
        QFETCH(QString, expected);
        QCOMPARE(GetParamFromTree(makeTree(cell->Clone()).get()).Arguments().join(u'|'), expected);
    }

    void optionStringAndSummaryOfATree()
    {
        auto group = makeCell("group", ParamCell::kRoot);
        group->AddChild(makeList("deep", {"1|one"}, 0)); // below the first level: no option
        auto root = makeTree(makeList("vcodec", {"libx264|H.264|extra"}, 0), makeList("s", {"|same to source"}, 0),
                             makeList("vb", {"1500|1500 Kb/s"}, 0, QStringLiteral("Kb/s")), makeNumber("r", 25),
                             makeList("aspect", {"3|Fit"}, 0), makeList("acodec", {"aac"}, 0), std::move(group),
                             makeList("g", {"1|1"}, -1), makeList("bf", {"2|2"}, 3), // no current entry
                             withUserValue(makeList("ab", {"128|128 Kb/s"}, 0, QStringLiteral("Kb/s")), "192000"),
                             makeList("ac", {"2|2 (stereo)"}, 0), withUserValue(makeList("ts", {"1|1"}, 0), QString()),
                             makeList("loudness", {"|Off", "-16|-16 LUFS"}, 0));
        const QString options(" -vcodec libx264 -vb 1500 -r 25 -acodec aac -ab 192000 -ac 2");
        const QString summary("Video:H.264,size:same to source,BitRate:1500 Kb/s,FrameRate:Auto,Audio:Auto,"
                              "BitRate:192000 Kb/s,Sample Rate:Auto,Channels:2 (stereo)"); // "ar" missing
        QCOMPARE(GetParamFromTree(root.get()).Text(), options);
        QCOMPARE(BuildProfileSummary(root.get()), summary);
        // Targets go into the profile's own cell where it has one, a hidden one where not; the summary
        // says what is aimed at, and turned off they leave both as they were.
        TargetCells::Set(*root, TargetCells::kLoudness, QStringLiteral("-14"));
        TargetCells::Set(*root, TargetCells::kSize, QStringLiteral("25M"));
        QCOMPARE(GetParamFromTree(root.get()).Text(), options + " -loudness -14 -target-size 25M");
        QCOMPARE(BuildProfileSummary(root.get()), summary + ",Loudness:-14 LUFS,Fit into:25M");
        TargetCells::Set(*root, TargetCells::kLoudness, QString());
        TargetCells::Set(*root, TargetCells::kSize, QString());
        QCOMPARE(GetParamFromTree(root.get()).Text(), options);
        QCOMPARE(BuildProfileSummary(root.get()), summary);
        QVERIFY(GetParamFromTree(nullptr).IsEmpty() && GetParamFromTree(makeTree().get()).IsEmpty());
        QCOMPARE(BuildProfileSummary(nullptr), QString());
    }

    void catalogue()
    {
        const QString program = m_dir.filePath(QStringLiteral("catalogue/"));
        const QString catalogue = program + QStringLiteral("profile.ini");
        QDir().mkpath(program + QStringLiteral("sub"));
        writeFile("[AllCount]\nAllSetNumbers=3\n[profile1]\nSetName=Zulu\nPath=z.ini\n[profile2]\nSetName=Alpha\n"
                  "Path=sub/a.ini\n[profile3]\nSetName=Zulu\nPath=sub/z2.ini\n[AllSetProfile]\nDefault=2\n",
                  catalogue);
        profileFile(node(0, cellLines("aspect", "TOP", 1, {"nStrArraySize=2", "sValues[0]=0|Off", "sValues[1]=5|Left",
                                                          "sDefault=1"})),
                    QStringLiteral("TargetType=  mkv  "), program + QStringLiteral("sub/z2.ini"));
        QCOMPARE(ReadProfileCatalogue(catalogue), (QStringList{"Zulu", "Alpha", "Zulu"}));
        QCOMPARE(DefaultProfileIndex(catalogue), 2);
        QCOMPARE(ProfileMap::Instance().Lookup(QStringLiteral("Zulu")), QStringLiteral("sub/z2.ini")); // last wins
        const AppFolders folders = AppFolders::ForProgram(program + QStringLiteral("corvane-studio"));
        QCOMPARE(GetTargetType(QStringLiteral("Zulu"), folders), QStringLiteral("mkv"));
        QCOMPARE(GetTargetType(QStringLiteral("Alpha"), folders), QString()); // file missing
        CurrentProfile current(folders);
        current.Select(QStringLiteral("Zulu"));
        QCOMPARE(current.AspectMode(), 5); // z2.ini's own, which shows the file read
        // A snapshot outlives edits and the tree it came from.
        const ProfileSnapshot snapshot = current.Snapshot();
        current.Tree()->pChildren.at(0)->sDefault = 0;
        current.Select(QString()); // as the first of a missing catalogue's ten empty names
        QCOMPARE(GetAspectMode(snapshot.tree.get()), 5);
        QCOMPARE(snapshot.name, QStringLiteral("Zulu"));
        const QString none = m_dir.filePath(QStringLiteral("none/profile.ini"));
        QCOMPARE(ReadProfileCatalogue(none), QStringList(10, QString()));
        QCOMPARE(DefaultProfileIndex(none), 0);
        QCOMPARE(current.File(), program);
        QCOMPARE(current.Tree()->nChildCount(), 0);
        QCOMPARE(current.AspectMode(), -1);
    }

    void shippedProfiles_data()
    {
        QTest::addColumn<QString>("name");
        const QString catalogue = TestSupport::SourceDir() + QStringLiteral("/data/profile.ini");
        const QStringList names = ReadProfileCatalogue(catalogue);
        QVERIFY(names.size() >= 15);
        QCOMPARE(names.at(DefaultProfileIndex(catalogue)), QStringLiteral("MP4 H.264 (fast, constant quality)"));
        for (const QString &name : names)
            QTest::newRow(name.toUtf8().constData()) << name;
    }
    void shippedProfiles()
    {
        QFETCH(QString, name);
        const QString program = TestSupport::SourceDir() + QStringLiteral("/data/");
        ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        CMpegStructs tree;
        tree.LoadFromFile(program + ProfileMap::Instance().Lookup(name));
        ParamCell *root = tree.GetRoot();
        QVERIFY(!name.isEmpty() && root->nChildCount() > 3);
        QStringList firstGroup;
        for (const auto &child : root->pChildren)
            if (child->strLocal.str().startsWith(QStringLiteral("1,")) && !TargetCells::IsTarget(child->strCelltName.str()))
                firstGroup << child->strCelltName.str();
        if (const ParamCell *aspect = FindCell(root, QStringLiteral("aspect"))) {
            // A bit rate, or a constant quality with the encoder's speed.
            if (!firstGroup.contains(QStringLiteral("vb")))
                firstGroup.replace(2, QStringLiteral("vb")), firstGroup.removeAt(3);
            QCOMPARE(firstGroup, (QStringList{"vcodec", "s", "vb", "r", "aspect", "deinterlace"}));
            QCOMPARE(aspect->nStrArraySize, 8);
            for (int m = 0; m < 8; ++m) {
                QCOMPARE(EntryEngineValue(aspect->Entry(m)), QString::number(m));
                for (int earlier = 0; earlier < m; ++earlier) // an edit takes the first entry holding the text
                    QVERIFY(!aspect->Entry(earlier).contains(EntryShownText(aspect->Entry(m))));
            }
            // Nothing to fit when the frame keeps the source's size: aspect starts disabled then.
            const ParamCell *size = FindCell(root, QStringLiteral("s"));
            QCOMPARE(bool(aspect->nUserMode & ParamCell::kDisabled), EntryEngineValue(size->Entry(size->sDefault)).isEmpty());
        }
        static const QRegularExpression number(QStringLiteral("^([1-9]\\d*(x[1-9]\\d*)?)?$"));
        for (const auto &child : root->pChildren) { // every choice a list offers is one the engine takes
            const QString option = child->strOption.str();
            for (int k = 0; k < child->EntryCount(); ++k) {
                const QString value = EntryEngineValue(child->Entry(k));
                if (option.endsWith(QStringLiteral("codec")) && !value.isEmpty() && value != QStringLiteral("copy"))
                    QVERIFY2(!TestSupport::CodecNames(value).isEmpty(), qPrintable(value));
                else if (QStringList{"-s", "-vb", "-ab", "-ar", "-ac", "-r"}.contains(option))
                    QVERIFY2(number.match(value).hasMatch(), qPrintable(option + u' ' + value));
                else if (TargetCells::IsTarget(child->strCelltName.str()))
                    QVERIFY2(TargetCells::Problem(child->strCelltName.str(), value).isEmpty(), qPrintable(option + u' ' + value));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestParamTree)
#include "test_paramtree.moc"
