#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "core/SplitString.h"
#include "core/UserMessage.h"
#include "profiles/CMpegStructs.h"
#include "profiles/CurrentProfile.h"
#include "profiles/ParamOptions.h"
#include "profiles/ProfileCatalogue.h"
#include "support/TestSupport.h"
#include "CellBuilders.h"

using namespace CellBuilders;

namespace {

// One [nodeN] section from "key=value" lines.
QString node(int index, const QStringList &lines)
{
    return QStringLiteral("[node%1]\n%2\n").arg(index).arg(lines.join(u'\n'));
}

QStringList cellLines(const QString &name, const QString &father, int type, const QStringList &extra = {})
{
    return QStringList{QStringLiteral("strCelltName=") + name, QStringLiteral("strShowName=") + name,
                       QStringLiteral("strFatherName=") + father, QStringLiteral("Enable=TRUE"),
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

// The output options the engine accepts, and whether each takes a value.
const QHash<QString, bool> &engineOptions()
{
    static const QHash<QString, bool> options = [] {
        QHash<QString, bool> o;
        for (const char *name : {"-f", "-vcodec", "-acodec", "-b", "-vb", "-ab", "-ar", "-ac", "-r", "-s", "-aspect",
                                 "-padtop", "-padbottom", "-padleft", "-padright", "-croptop", "-cropbottom",
                                 "-cropleft", "-cropright", "-ss", "-t", "-qmin", "-qmax", "-level", "-g", "-bf",
                                 "-qscale", "-pix_fmt", "-title", "-author", "-copyright", "-comment", "-album",
                                 "-timestamp", "-metadata"})
            o.insert(QString::fromLatin1(name), true);
        o.insert(QStringLiteral("-vn"), false);
        o.insert(QStringLiteral("-an"), false);
        return o;
    }();
    return options;
}

} // namespace

class TestParamTree : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileCounter = 0;

    QString writeFile(const QString &text, const QString &name = QString())
    {
        const QString path = m_dir.filePath(name.isEmpty() ? QStringLiteral("p%1.ini").arg(++m_fileCounter) : name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text.toUtf8());
        return path;
    }

    QString profileFile(int count, const QString &nodes, const QString &extraAllset = QString())
    {
        return writeFile(QStringLiteral("[allset]\nnumbersofnodes=%1\n%2\n%3").arg(count).arg(extraAllset, nodes));
    }

private slots:
    void init() { ProfileMap::Instance().Clear(); }

    // ---- loading ----

    void missingOrEmptyFileGivesOnlyTheRoot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("no file") << m_dir.filePath(QStringLiteral("does-not-exist.ini"));
        QTest::newRow("numbersofnodes=0") << profileFile(0, node(0, cellLines("ab", "TOP", 4)));
        QTest::newRow("no allset section") << writeFile(node(0, cellLines("ab", "TOP", 4)));
        QTest::newRow("a folder") << m_dir.path() + u'/';
    }
    void missingOrEmptyFileGivesOnlyTheRoot()
    {
        QFETCH(QString, path);
        CMpegStructs tree;
        QVERIFY(!tree.GetRoot());
        QVERIFY(tree.LoadFromFile(path));
        const ParamCell *root = tree.GetRoot();
        QVERIFY(root);
        QCOMPARE(root->strCelltName.str(), QStringLiteral("TOP"));
        QVERIFY(root->Enable);
        QCOMPARE(root->nValueType, ParamCell::kRoot);
        QCOMPARE(root->nChildCount(), 0);
        QCOMPARE(GetParamFromTree(root), QString());
    }

    void fatherMustComeFirst()
    {
        const QString nodes = node(0, cellLines("child", "group", 4, {"SValue=early"})) // father not there yet
                              + node(1, cellLines("group", "TOP", 3)) +
                              node(2, cellLines("child", "group", 4, {"SValue=late"})) +
                              node(3, cellLines("orphan", "nobody", 4)) + node(4, cellLines("ab", "TOP", 4));
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(5, nodes));
        ParamCell *root = tree.GetRoot();
        QCOMPARE(childNames(root), (QStringList{"group", "ab"}));
        ParamCell *group = FindCell(root, QStringLiteral("group"));
        QCOMPARE(childNames(group), QStringList{"child"});
        QCOMPARE(group->pChildren.front()->SValue.str(), QStringLiteral("late"));
        QVERIFY(!FindCell(root, QStringLiteral("orphan")));
    }

    void enableNeedsUpperCaseTrue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("quoted TRUE") << "\"TRUE\"" << true;
        QTest::newRow("blanks around") << "  TRUE  " << true;
        QTest::newRow("true") << "true" << false;
        QTest::newRow("True") << "True" << false;
        QTest::newRow("1") << "1" << false;
        QTest::newRow("TRUE!") << "TRUE!" << false;
        QTest::newRow("empty") << "" << false;
    }
    void enableNeedsUpperCaseTrue()
    {
        QFETCH(QString, value);
        QFETCH(bool, enabled);
        QStringList lines = cellLines("title", "TOP", 4, {"SValue=x"});
        lines.removeAll(QStringLiteral("Enable=TRUE"));
        lines << QStringLiteral("Enable=") + value;
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(1, node(0, lines)));
        QCOMPARE(tree.GetRoot()->pChildren.at(0)->Enable, enabled);
        QCOMPARE(GetParamFromTree(tree.GetRoot()), enabled ? QStringLiteral(" -title x") : QString());
    }

    void listSizes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("sizeLine"); // empty: key missing
        QTest::addColumn<int>("entriesInFile");
        QTest::addColumn<int>("expectedSize");
        QTest::addColumn<int>("expectedFilled");
        QTest::newRow("three") << 1 << "nStrArraySize=3" << 5 << 3 << 3;
        QTest::newRow("size missing") << 1 << "" << 5 << -1 << 0;
        QTest::newRow("size zero") << 1 << "nStrArraySize=0" << 5 << 0 << 0;
        QTest::newRow("size negative") << 1 << "nStrArraySize=-4" << 5 << -4 << 0;
        QTest::newRow("more than forty") << 1 << "nStrArraySize=45" << 45 << 40 << 40;
        QTest::newRow("size beyond the entries") << 1 << "nStrArraySize=4" << 2 << 4 << 2;
        QTest::newRow("text cell reads none") << 4 << "nStrArraySize=3" << 3 << 0 << 0;
        QTest::newRow("number cell reads none") << 2 << "nStrArraySize=3" << 3 << 0 << 0;
    }
    void listSizes()
    {
        QFETCH(int, type);
        QFETCH(QString, sizeLine);
        QFETCH(int, entriesInFile);
        QFETCH(int, expectedSize);
        QFETCH(int, expectedFilled);
        QStringList lines = cellLines("ab", "TOP", type, {"SValue=text value"});
        if (!sizeLine.isEmpty())
            lines << sizeLine;
        for (int i = 0; i < entriesInFile; ++i)
            lines << QStringLiteral("sValues[%1]=%2|entry %2").arg(i).arg(i + 1);
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(1, node(0, lines)));
        const ParamCell &cell = *tree.GetRoot()->pChildren.at(0);
        QCOMPARE(cell.nStrArraySize, expectedSize);
        int filled = 0;
        for (const auto &entry : cell.sValues)
            filled += entry.isEmpty() ? 0 : 1;
        QCOMPARE(filled, expectedFilled);
        if (expectedFilled == 40)
            QCOMPARE(cell.sValues[39].str(), QStringLiteral("40|entry 40"));
        // SValue belongs to text cells only.
        QCOMPARE(cell.SValue.str(), type == 4 ? QStringLiteral("text value") : QString());
    }

    void fatherKeepsThirtyChildren()
    {
        QString nodes;
        for (int i = 0; i < 35; ++i)
            nodes += node(i, cellLines(QStringLiteral("c%1").arg(i), "TOP", 4));
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(35, nodes));
        const ParamCell *root = tree.GetRoot();
        QCOMPARE(root->nChildCount(), 30);
        QCOMPARE(root->pChildren.back()->strCelltName.str(), QStringLiteral("c29"));
        QVERIFY(!FindCell(root, QStringLiteral("c30")));
    }

    void unitsAndOption_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("option");
        QTest::newRow("ab") << "ab" << "Kb/s" << "-ab";
        QTest::newRow("vb") << "vb" << "Kb/s" << "-vb";
        QTest::newRow("ar") << "ar" << "Hz" << "-ar";
        QTest::newRow("r") << "r" << "fps" << "-r";
        QTest::newRow("upper-case AB has none") << "AB" << "" << "-AB";
        QTest::newRow("ac has none") << "ac" << "" << "-ac";
        QTest::newRow("leading blanks leave the option") << "\"  ab\"" << "" << "-ab";
    }
    void unitsAndOption()
    {
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QFETCH(QString, option);
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(1, node(0, cellLines(name, "TOP", 1))));
        const ParamCell &cell = *tree.GetRoot()->pChildren.at(0);
        QCOMPARE(cell.strUnit.str(), unit);
        QCOMPARE(cell.strOption.str(), option);
        QCOMPARE(tree.m_unitMap.size(), std::size_t(4));
    }

    void defaultsAndNumbers()
    {
        const QString nodes = node(0, {"strCelltName=bare", "strFatherName=TOP"}) +
                              node(1, cellLines("r", "TOP", 2,
                                                {"fValue=25.5fps", "fMAx=abc", "fMin=-3", "fStep=", "nLevel=2",
                                                 "AlowEdit=7", "nUserMode=3", "UsedType=102", "sDefault=+1"}));
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(2, nodes, QStringLiteral("values=kept as it is")));
        QCOMPARE(tree.m_strValues, QStringLiteral("kept as it is"));
        const ParamCell &bare = *tree.GetRoot()->pChildren.at(0);
        QCOMPARE(bare.nValueType, -1);
        QCOMPARE(bare.nLevel, -1);
        QCOMPARE(bare.sDefault, -1);
        QCOMPARE(bare.nStrArraySize, 0);
        QVERIFY(!bare.Enable);
        QVERIFY(!bare.AlowEdit);
        const ParamCell &r = *tree.GetRoot()->pChildren.at(1);
        QCOMPARE(r.fValue, 25.5f);
        QCOMPARE(r.fMAx, 0.0f);
        QCOMPARE(r.fMin, -3.0f);
        QCOMPARE(r.fStep, 0.0f);
        QCOMPARE(r.nLevel, 2);
        QVERIFY(r.AlowEdit);
        QCOMPARE(r.nUserMode, 3);
        QCOMPARE(r.UsedType, 102);
        QCOMPARE(r.sDefault, 1);
    }

    void longTextsAreCut()
    {
        const QString longText(300, u'h');
        const QString nodes = node(0, cellLines("title", "TOP", 4,
                                                {QStringLiteral("Help=") + longText, QStringLiteral("SValue=") + longText,
                                                 QStringLiteral("strLocal=") + longText}) +
                                          QStringList{QStringLiteral("strShowName=") + longText}) +
                              node(1, cellLines("ab", "TOP", 1,
                                                {"nStrArraySize=1", QStringLiteral("sValues[0]=") + longText}));
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(2, nodes));
        const ParamCell &text = *tree.GetRoot()->pChildren.at(0);
        QCOMPARE(text.Help.str().size(), 249);   // the read buffer, not the field, is the limit
        QCOMPARE(text.SValue.str().size(), 199); // field of 200 with its terminator
        QCOMPARE(text.strLocal.str().size(), 19);
        QCOMPARE(text.strShowName.str(), QStringLiteral("title")); // first match wins
        const ParamCell &list = *tree.GetRoot()->pChildren.at(1);
        QCOMPARE(list.sValues[0].str().size(), 199);
    }

    void findCellDepthFirst()
    {
        // TOP -> a -> dup ; TOP -> dup : the one under a is met first.
        auto root = ParamCell::MakeRoot();
        auto a = makeCell("a", 3);
        auto deep = makeCell("dup", 4);
        deep->SValue = QStringLiteral("deep");
        a->AddChild(std::move(deep));
        root->AddChild(std::move(a));
        auto flat = makeCell("dup", 4);
        flat->SValue = QStringLiteral("flat");
        flat->strShowName = QStringLiteral("shown");
        root->AddChild(std::move(flat));

        QCOMPARE(FindCell(root.get(), QStringLiteral("dup"))->SValue.str(), QStringLiteral("deep"));
        QCOMPARE(FindCell(root.get(), QStringLiteral("TOP")), root.get());
        QVERIFY(!FindCell(root.get(), QStringLiteral("DUP")));
        QVERIFY(!FindCell(static_cast<ParamCell *>(nullptr), QStringLiteral("dup")));
    }

    void findCellByShowName()
    {
        auto root = ParamCell::MakeRoot();
        auto group = makeCell("group", 3);
        group->AddChild(makeCell("inner", 4));
        root->AddChild(std::move(group));
        auto first = makeCell("first", 4);
        first->strShowName = QStringLiteral("Size");
        root->AddChild(std::move(first));
        auto second = makeCell("second", 4);
        second->strShowName = QStringLiteral("Size");
        root->AddChild(std::move(second));
        auto unnamed = makeCell("unnamed", 4);
        unnamed->strShowName = QString();
        root->AddChild(std::move(unnamed));

        QCOMPARE(FindCellByShowName(root.get(), QStringLiteral("Size"))->strCelltName.str(), QStringLiteral("first"));
        QVERIFY(!FindCellByShowName(root.get(), QStringLiteral("size")));
        QVERIFY(!FindCellByShowName(root.get(), QStringLiteral("inner")));
        QVERIFY(!FindCellByShowName(root.get(), QString()));
        QVERIFY(!FindCellByShowName(nullptr, QStringLiteral("Size")));

        // A null root means the container's own tree.
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(1, node(0, cellLines("ab", "TOP", 4))));
        QCOMPARE(tree.FindCellByShowName(nullptr, QStringLiteral("ab")), tree.GetRoot()->pChildren.at(0).get());
    }

    void cloneOutlivesTheSource()
    {
        const QString nodes = node(0, cellLines("ab", "TOP", 1,
                                                {"nStrArraySize=2", "sValues[0]=64|64 Kb/s", "sValues[1]=128|128 Kb/s",
                                                 "sDefault=1", "Help=bit rate", "fValue=1.5"})) +
                              node(1, cellLines("group", "TOP", 3)) + node(2, cellLines("inner", "group", 4, {"SValue=x"}));
        auto source = std::make_unique<CMpegStructs>();
        source->LoadFromFile(profileFile(3, nodes));
        std::unique_ptr<ParamCell> copy = CloneCells(source->GetRoot());
        QVERIFY(copy);
        QVERIFY(copy.get() != source->GetRoot());
        source.reset(); // frees the source tree

        QCOMPARE(childNames(copy.get()), (QStringList{"ab", "group"}));
        const ParamCell &ab = *copy->pChildren.at(0);
        QCOMPARE(ab.sValues[1].str(), QStringLiteral("128|128 Kb/s"));
        QCOMPARE(ab.strUnit.str(), QStringLiteral("Kb/s"));
        QCOMPARE(ab.Help.str(), QStringLiteral("bit rate"));
        QCOMPARE(ab.fValue, 1.5f);
        QCOMPARE(ab.sDefault, 1);
        QCOMPARE(FindCell(copy.get(), QStringLiteral("inner"))->SValue.str(), QStringLiteral("x"));
        QCOMPARE(GetParamFromTree(copy.get()), QStringLiteral(" -ab 128"));

        // And a copy shares nothing: changing it leaves another copy alone.
        std::unique_ptr<ParamCell> second = CloneCells(copy.get());
        FindCell(copy.get(), QStringLiteral("inner"))->SValue = QStringLiteral("changed");
        QCOMPARE(FindCell(second.get(), QStringLiteral("inner"))->SValue.str(), QStringLiteral("x"));
        FreeCells(copy);
        QVERIFY(!copy);
        QCOMPARE(childNames(second.get()), (QStringList{"ab", "group"}));
        QVERIFY(!CloneCells(nullptr));
    }

    void reloadReplacesTheTree()
    {
        CMpegStructs tree;
        tree.LoadFromFile(profileFile(1, node(0, cellLines("first", "TOP", 4))));
        tree.LoadFromFile(profileFile(1, node(0, cellLines("second", "TOP", 4))));
        QCOMPARE(childNames(tree.GetRoot()), QStringList{"second"});
    }

    void aspectMode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("mode");
        const QStringList modes{"0|Off", "1|Stretch", "3|Fit", "7|Top"};
        QTest::newRow("third entry") << "aspect" << modes << 2 << 3;
        QTest::newRow("first entry") << "aspect" << modes << 0 << 0;
        QTest::newRow("no aspect cell") << "other" << modes << 2 << -1;
        QTest::newRow("name is case-sensitive") << "Aspect" << modes << 2 << -1;
        QTest::newRow("signed with blanks") << "aspect" << QStringList{" -2|odd"} << 0 << -2;
        QTest::newRow("no digits") << "aspect" << QStringList{"abc|x"} << 0 << 0;
        QTest::newRow("no current entry") << "aspect" << modes << -1 << 0;
        QTest::newRow("beyond forty") << "aspect" << modes << 45 << 0;
    }
    void aspectMode()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QFETCH(int, current);
        QFETCH(int, mode);
        auto root = ParamCell::MakeRoot();
        root->AddChild(makeList(name, entries, current));
        QCOMPARE(GetAspectMode(root.get()), mode);
    }

    void aspectModeOfNothing() { QCOMPARE(GetAspectMode(nullptr), -1); }

    // ---- option string ----

    void optionString_data()
    {
        QTest::addColumn<int>("kind"); // 0 list, 1 number, 2 text
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries"); // list entries, or the text value
        QTest::addColumn<int>("current");         // list: sDefault
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("usedType");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty engine part") << 0 << "r" << QStringList{"|Auto", "25|25 fps"} << 0 << 0.0 << 0 << true << "";
        QTest::newRow("mp3 in acodec") << 0 << "acodec" << QStringList{"mp3|MP3 audio"} << 0 << 0.0 << 0 << true
                                       << " -acodec mp3";
        QTest::newRow("entry without bar") << 0 << "vcodec" << QStringList{"mpeg4"} << 0 << 0.0 << 0 << true
                                           << " -vcodec mpeg4";
        QTest::newRow("no current entry") << 0 << "ab" << QStringList{"128|128"} << -1 << 0.0 << 0 << true << "";
        QTest::newRow("current beyond the list") << 0 << "ab" << QStringList{"128|128"} << 3 << 0.0 << 0 << true << "";
        QTest::newRow("never emitted") << 0 << "ab" << QStringList{"128|128"} << 0 << 0.0 << 2 << true << "";
        QTest::newRow("disabled list") << 0 << "ab" << QStringList{"128|128"} << 0 << 0.0 << 0 << false << "";
        QTest::newRow("aspect list") << 0 << "aspect" << QStringList{"3|Fit"} << 0 << 0.0 << 0 << true << "";
        QTest::newRow("ASPECT list") << 0 << "ASPECT" << QStringList{"3|Fit"} << 0 << 0.0 << 0 << true << "";
        QTest::newRow("AsPeCt list user value") << 0 << "AsPeCt" << QStringList{"3|Fit"} << 0 << 0.0 << 102 << true
                                                << "";
        QTest::newRow("number 0") << 1 << "r" << QStringList{} << 0 << 0.0 << 0 << true << "";
        QTest::newRow("number -5") << 1 << "r" << QStringList{} << 0 << -5.0 << 0 << true << "";
        QTest::newRow("number NaN") << 1 << "r" << QStringList{} << 0 << double(NAN) << 0 << true << "";
        QTest::newRow("number 25.0") << 1 << "r" << QStringList{} << 0 << 25.0 << 0 << true << " -r 25";
        QTest::newRow("number rounds") << 1 << "g" << QStringList{} << 0 << 12.7 << 0 << true << " -g 13";
        QTest::newRow("number ignores UsedType") << 1 << "g" << QStringList{} << 0 << 3.0 << 2 << true << " -g 3";
        QTest::newRow("disabled number") << 1 << "r" << QStringList{} << 0 << 25.0 << 0 << false << "";
        QTest::newRow("aspect number") << 1 << "aspect" << QStringList{} << 0 << 2.0 << 0 << true << " -aspect 2";
        QTest::newRow("aspect text") << 2 << "aspect" << QStringList{"16:9"} << 0 << 0.0 << 0 << true
                                     << " -aspect 16:9";
        QTest::newRow("text as it stands") << 2 << "f" << QStringList{"mp3 -vn"} << 0 << 0.0 << 0 << true
                                           << " -f mp3 -vn";
        QTest::newRow("empty text") << 2 << "title" << QStringList{""} << 0 << 0.0 << 0 << true << "";
        QTest::newRow("disabled text") << 2 << "title" << QStringList{"x"} << 0 << 0.0 << 0 << false << "";
        QTest::newRow("text never emitted still is") << 2 << "title" << QStringList{"x"} << 0 << 0.0 << 2 << true
                                                     << " -title x";
    }
    void optionString()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QFETCH(int, current);
        QFETCH(double, number);
        QFETCH(int, usedType);
        QFETCH(bool, enabled);
        QFETCH(QString, expected);

        std::unique_ptr<ParamCell> cell;
        if (kind == 0) {
            cell = makeList(name, entries, current);
            if (usedType == 102)
                cell->SValue = entries.value(0);
        } else if (kind == 1) {
            cell = makeCell(name, ParamCell::kNumber);
            cell->fValue = float(number);
        } else {
            cell = makeCell(name, ParamCell::kText);
            cell->SValue = entries.value(0);
        }
        cell->UsedType = usedType;
        cell->Enable = enabled;
        auto root = ParamCell::MakeRoot();
        root->AddChild(std::move(cell));
        QCOMPARE(GetParamFromTree(root.get()), expected);
    }

    void optionStringOrderAndDepth()
    {
        auto root = ParamCell::MakeRoot();
        root->AddChild(makeList("vcodec", {"mpeg4|MPEG-4"}, 0));
        auto size = makeList("s", {"|same to source", "320x240|320x240"}, 0);
        size->UsedType = 102;
        size->SValue = QStringLiteral("640x480"); // the user's value wins over the entry
        root->AddChild(std::move(size));
        auto group = makeCell("group", 3);
        group->AddChild(makeList("deep", {"1|one"}, 0)); // below the first level: never emitted
        root->AddChild(std::move(group));
        auto ab = makeList("ab", {"128|128 Kb/s"}, 0, QStringLiteral("Kb/s"));
        ab->UsedType = 102;
        ab->SValue = QStringLiteral("192000");
        root->AddChild(std::move(ab));
        auto empty = makeList("ar", {"44100|44100 Hz"}, 0);
        empty->UsedType = 102; // user value empty: nothing
        root->AddChild(std::move(empty));
        QCOMPARE(GetParamFromTree(root.get()), QStringLiteral(" -vcodec mpeg4 -s 640x480 -ab 192000"));
        QCOMPARE(GetParamFromTree(nullptr), QString());
        QCOMPARE(GetParamFromTree(ParamCell::MakeRoot().get()), QString());
    }

    void optionStringFailureIsReported()
    {
        QStringList reported;
        SetUserMessageHandler([&](const QString &m) { reported << m; });
        auto root = ParamCell::MakeRoot();
        root->AddChild(makeList("vcodec", {"mpeg4|MPEG-4"}, 0));
        root->pChildren.push_back(nullptr); // a broken tree
        QCOMPARE(GetParamFromTree(root.get()), QString());
        SetUserMessageHandler(nullptr);
        QCOMPARE(reported, QStringList{"Function:GetParamFromTree(CMpegStructs m_SetParamCells) ERROR!"});
    }

    // ---- summary ----

    void summary()
    {
        auto root = ParamCell::MakeRoot();
        root->AddChild(makeList("vcodec", {"libx264|H.264|extra"}, 0));
        auto size = makeList("s", {"|same to source"}, 0);
        root->AddChild(std::move(size));
        root->AddChild(makeList("vb", {"1500|1500 Kb/s"}, 0, QStringLiteral("Kb/s")));
        auto rate = makeCell("r", ParamCell::kNumber); // not a list: Auto
        rate->fValue = 25;
        root->AddChild(std::move(rate));
        root->AddChild(makeList("aspect", {"3|Fit"}, 0));
        root->AddChild(makeList("acodec", {"aac"}, 0)); // no shown part: Auto
        auto ab = makeList("ab", {"128|128 Kb/s"}, 0, QStringLiteral("Kb/s"));
        ab->UsedType = 102;
        ab->SValue = QStringLiteral("192000");
        root->AddChild(std::move(ab));
        // "ar" missing: Auto
        root->AddChild(makeList("ac", {"2|2 (stereo)"}, 0));
        QCOMPARE(BuildProfileSummary(root.get()),
                 QStringLiteral("Video:H.264,size:same to source,BitRate:1500 Kb/s,FrameRate:Auto,Audio:Auto,"
                                "BitRate:192000 Kb/s,Sample Rate:Auto,Channels:2 (stereo)"));
        QCOMPARE(BuildProfileSummary(nullptr), QString());
        QCOMPARE(BuildProfileSummary(ParamCell::MakeRoot().get()),
                 QStringLiteral("Video:Auto,size:Auto,BitRate:Auto,FrameRate:Auto,Audio:Auto,BitRate:Auto,"
                                "Sample Rate:Auto,Channels:Auto"));
    }

    // ---- catalogue ----

    void catalogueOrderDefaultAndDuplicates()
    {
        QTemporaryDir folder;
        const QString program = folder.path() + u'/';
        QDir().mkpath(program + QStringLiteral("sub"));
        auto write = [&](const QString &rel, const QString &text) {
            QFile f(program + rel);
            f.open(QIODevice::WriteOnly);
            f.write(text.toUtf8());
        };
        write(QStringLiteral("profile.ini"),
              "[AllCount]\nAllSetNumbers=3\n[profile1]\nSetName=Zulu\nPath=z.ini\n[profile2]\nSetName=Alpha\n"
              "Path=sub/a.ini\n[profile3]\nSetName=Zulu\nPath=sub/z2.ini\n[AllSetProfile]\nDefault=2\n");
        write(QStringLiteral("sub/z2.ini"),
              "[allset]\nnumbersofnodes=1\nTargetType=  mkv  \n[node0]\nstrCelltName=aspect\nstrFatherName=TOP\n"
              "Enable=TRUE\nnValueType=1\nnStrArraySize=2\nsValues[0]=0|Off\nsValues[1]=5|Left\nsDefault=1\n");
        const QString catalogue = program + QStringLiteral("profile.ini");

        QCOMPARE(ReadProfileCatalogue(catalogue), (QStringList{"Zulu", "Alpha", "Zulu"}));
        QCOMPARE(DefaultProfileIndex(catalogue), 2);
        QCOMPARE(ProfileMap::Instance().Lookup(QStringLiteral("Zulu")), QStringLiteral("sub/z2.ini"));
        QCOMPARE(GetTargetType(QStringLiteral("Zulu"), program), QStringLiteral("mkv"));
        QCOMPARE(GetTargetType(QStringLiteral("Alpha"), program), QString()); // file missing

        // An unknown name is added with an empty path and reads the program folder itself.
        QVERIFY(!ProfileMap::Instance().Contains(QStringLiteral("Nobody")));
        QCOMPARE(GetTargetType(QStringLiteral("Nobody"), program), QString());
        QVERIFY(ProfileMap::Instance().Contains(QStringLiteral("Nobody")));

        CurrentProfile current(program);
        current.Select(QStringLiteral("Zulu"));
        QCOMPARE(current.Name(), QStringLiteral("Zulu"));
        QCOMPARE(current.File(), program + QStringLiteral("sub/z2.ini"));
        QCOMPARE(current.AspectMode(), 5);
        QVERIFY(current.Summary().startsWith(QStringLiteral("Video:Auto,")));
        QCOMPARE(current.Tree()->nChildCount(), 1);
    }

    void missingCatalogueGivesTenEmptyEntries()
    {
        QTemporaryDir folder;
        const QString program = folder.path() + u'/';
        const QStringList names = ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        QCOMPARE(names, QStringList(10, QString()));
        QCOMPARE(DefaultProfileIndex(program + QStringLiteral("profile.ini")), 0);
        CurrentProfile current(program);
        current.Select(names.at(0));
        QCOMPARE(current.File(), program);
        QCOMPARE(current.Tree()->nChildCount(), 0);
        QCOMPARE(current.AspectMode(), -1);
        QCOMPARE(GetParamFromTree(current.Tree()), QString());
    }

    void snapshotIsIndependent()
    {
        CurrentProfile current(m_dir.path() + u'/');
        ProfileMap::Instance().Set(QStringLiteral("p"),
                                   QFileInfo(profileFile(1, node(0, cellLines("title", "TOP", 4, {"SValue=before"}))))
                                       .fileName());
        current.Select(QStringLiteral("p"));
        const ProfileSnapshot snapshot = current.Snapshot();
        current.Tree()->pChildren.at(0)->SValue = QStringLiteral("after");
        current.Select(QString()); // another profile frees the tree
        QCOMPARE(GetParamFromTree(snapshot.tree.get()), QStringLiteral(" -title before"));
        QCOMPARE(snapshot.name, QStringLiteral("p"));
    }

    // ---- the shipped profiles ----

    void shippedProfiles_data()
    {
        QTest::addColumn<QString>("name");
        const QString catalogue = TestSupport::SourceDir() + QStringLiteral("/data/profile.ini");
        QVERIFY(QFile::exists(catalogue));
        const QStringList names = ReadProfileCatalogue(catalogue);
        QVERIFY(names.size() >= 15);
        QCOMPARE(names.at(DefaultProfileIndex(catalogue)), QStringLiteral("MP4 (H.264/AAC)"));
        for (const QString &name : names)
            QTest::newRow(name.toUtf8().constData()) << name;
    }
    void shippedProfiles()
    {
        QFETCH(QString, name);
        const QString program = TestSupport::SourceDir() + QStringLiteral("/data/");
        ReadProfileCatalogue(program + QStringLiteral("profile.ini"));
        QVERIFY2(!name.isEmpty(), "every catalogue entry has a name");
        const QString file = program + ProfileMap::Instance().Lookup(name);
        QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));

        const QString target = GetTargetType(name, program);
        QVERIFY(!target.isEmpty());
        QVERIFY2(av_guess_format(nullptr, qPrintable(QStringLiteral("x.") + target), nullptr),
                 qPrintable(QStringLiteral("no muxer writes .") + target));

        CMpegStructs tree;
        tree.LoadFromFile(file);
        ParamCell *root = tree.GetRoot();
        QVERIFY(root->nChildCount() > 3);

        // Video profiles: codec, size, bit rate, frame rate and aspect lead the first group.
        QStringList firstGroup;
        for (const auto &child : root->pChildren)
            if (child->strLocal.str().startsWith(QStringLiteral("1,")))
                firstGroup << child->strCelltName.str();
        if (FindCell(root, QStringLiteral("vcodec"))) {
            QCOMPARE(firstGroup, (QStringList{"vcodec", "s", "vb", "r", "aspect"}));
            const ParamCell *aspect = FindCell(root, QStringLiteral("aspect"));
            QCOMPARE(aspect->strShowName.str(), QStringLiteral("aspect"));
            QCOMPARE(aspect->nStrArraySize, 8);
            for (int m = 0; m < 8; ++m) {
                QCOMPARE(LeadingIntOfEntry(aspect->Entry(m)), m);
                // An edit finds its mode by the first entry containing the shown text.
                const QString shown = EntryShownText(aspect->Entry(m));
                QVERIFY(!shown.isEmpty());
                for (int earlier = 0; earlier < m; ++earlier)
                    QVERIFY(!aspect->Entry(earlier).contains(shown));
            }
            QVERIFY(GetAspectMode(root) >= 0);
            // A frame kept at the source's size has nothing to fit: aspect starts disabled then.
            const ParamCell *size = FindCell(root, QStringLiteral("s"));
            const bool sameSize = EntryEngineValue(size->Entry(size->sDefault)).isEmpty();
            QCOMPARE(bool(aspect->nUserMode & ParamCell::kDisabled), sameSize);
        } else {
            QVERIFY(firstGroup.isEmpty());
        }

        // Every choice of every list gives options the engine takes, with sensible values.
        QStringList seenOptions;
        for (const auto &child : root->pChildren) {
            ParamCell &cell = *child;
            QVERIFY(cell.Enable);
            QVERIFY2(!cell.Help.isEmpty(), qPrintable(cell.strCelltName.str()));
            const int entries = cell.nValueType == ParamCell::kList ? cell.EntryCount() : 1;
            QVERIFY(entries > 0);
            const int saved = cell.sDefault;
            for (int k = 0; k < entries; ++k) {
                if (cell.nValueType == ParamCell::kList)
                    cell.sDefault = k;
                checkEngineOptions(GetParamFromTree(root), seenOptions);
                if (QTest::currentTestFailed())
                    return;
            }
            cell.sDefault = saved;
        }
        const QString options = GetParamFromTree(root);
        QVERIFY(options.contains(QStringLiteral(" -acodec ")) || options.contains(QStringLiteral(" -vcodec ")));
        QVERIFY(!BuildProfileSummary(root).isEmpty());
    }

private:
    static int LeadingIntOfEntry(const QString &entry)
    {
        bool ok = false;
        const int v = EntryEngineValue(entry).toInt(&ok);
        return ok ? v : -1;
    }

    void checkEngineOptions(const QString &options, QStringList &seen)
    {
        const QStringList tokens = options.split(u' ', Qt::SkipEmptyParts);
        for (int i = 0; i < tokens.size(); ++i) {
            const QString &option = tokens.at(i);
            QVERIFY2(engineOptions().contains(option), qPrintable(QStringLiteral("unknown option ") + option));
            seen << option;
            if (!engineOptions().value(option))
                continue;
            QVERIFY2(i + 1 < tokens.size(), qPrintable(option + QStringLiteral(" without a value")));
            const QString value = tokens.at(++i);
            QVERIFY2(!value.startsWith(u'-'), qPrintable(option + QStringLiteral(" without a value")));
            static const QRegularExpression size(QStringLiteral("^\\d+x\\d+$"));
            static const QRegularExpression number(QStringLiteral("^\\d+$"));
            if (option == u"-vcodec" || option == u"-acodec")
                QVERIFY2(avcodec_find_encoder_by_name(qPrintable(value)), qPrintable(QStringLiteral("no encoder ") + value));
            else if (option == u"-f")
                QVERIFY2(av_guess_format(qPrintable(value), nullptr, nullptr), qPrintable(QStringLiteral("no muxer ") + value));
            else if (option == u"-pix_fmt")
                QVERIFY(av_get_pix_fmt(qPrintable(value)) != AV_PIX_FMT_NONE);
            else if (option == u"-s")
                QVERIFY2(size.match(value).hasMatch(), qPrintable(value));
            else if (option == u"-vb" || option == u"-ab" || option == u"-ar" || option == u"-ac" || option == u"-r")
                QVERIFY2(number.match(value).hasMatch() && value.toInt() > 0, qPrintable(option + u' ' + value));
        }
    }
};

QTEST_GUILESS_MAIN(TestParamTree)
#include "test_paramtree.moc"
