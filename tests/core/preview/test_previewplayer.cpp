// The preview player's call sequences, guards and state against a stand-in library
// that logs its calls; and the trim range rules.
#include <QtTest>

#include <dlfcn.h>
#include <functional>

#include "core/tasks/TaskRecord.h"
#include "core/preview/PreviewPlayer.h"
#include "core/preview/TrimRange.h"
#include "support/TestSupport.h"

namespace {

using S = PreviewState;
constexpr S Uninitialised = S::Uninitialised, Ready = S::Ready, Playing = S::Playing, Paused = S::Paused,
            Stopped = S::Stopped;
constexpr int None = -99; // no value in an optional
const QString StartFailed = "Error preview,player_start!";
const QString PauseFailed = "Error preview,player_pause!";

// The window side, recording what the player does to it.
class FakeHost : public PreviewHost
{
public:
    QList<std::optional<PreviewTask>> rows{PreviewTask{"/in/a.avi", "/out/a.mp4", 125},
                                           PreviewTask{"/in/b.avi", "/out/b.mp4", 30}};
    QList<int> selected{0}, waits;
    int sliderMax = -1, sliderPos = -1, timerStarts = 0, invalidations = 0;
    bool follows = true;
    QString label = "before";
    QStringList messages;

    quintptr PreviewWindow() override { return 7; }
    void InvalidatePreviewArea() override { ++invalidations; }
    QList<int> SelectedRows() override { return selected; }
    void SelectRow(int row) override { selected = row < rows.size() ? QList<int>{row} : selected; }
    std::optional<PreviewTask> TaskAt(int row) override { return row < rows.size() ? rows.value(row) : std::nullopt; }
    void SetSliderRange(int maximum) override { sliderMax = maximum; }
    void SetSliderPos(int seconds) override { sliderPos = seconds; }
    int SliderPos() override { return sliderPos; }
    int SliderMax() override { return sliderMax; }
    bool SliderFollows() override { return follows; }
    void SetSliderFollows(bool f) override { follows = f; }
    void SetTimeLabel(const QString &text) override { label = text; }
    void StartPositionTimer() override { ++timerStarts; }
    void ShowMessage(const QString &text) override { messages << text; }
    void Wait(int milliseconds) override { waits << milliseconds; }
};

// A loaded stand-in: the position it reports, the call that throws, and its log of calls.
// Changing either of the first two clears the log.
class StandIn
{
public:
    explicit StandIn(const char *folder)
    {
        if (void *module = dlopen((QByteArray(folder) + PreviewLibrary::FileName).constData(), RTLD_NOW)) {
            m_reset = reinterpret_cast<decltype(m_reset)>(dlsym(module, "standin_reset"));
            m_log = reinterpret_cast<decltype(m_log)>(dlsym(module, "standin_log"));
        }
    }
    bool isValid() const { return m_reset && m_log; }
    void at(int position, int length) { m_position = position; m_length = length; clearLog(); }
    void throwOn(const QByteArray &name) { m_failing = name; clearLog(); }
    void clearLog() { m_reset(m_position, m_length, m_failing.constData()); }
    QStringList log() const { return QString::fromUtf8(m_log()).split(u'\n', Qt::SkipEmptyParts); }
    QString calls() const { return log().join(", ").remove("player_"); } // "getpos, seek 0, stop"

private:
    void (*m_reset)(int, int, const char *) = nullptr;
    const char *(*m_log)() = nullptr;
    int m_position = -1, m_length = -1;
    QByteArray m_failing;
};

// A row of the commands table: the state, the commands, then the calls made, the state after,
// the messages shown, the slider's position (or position/maximum), the time label and whether
// the slider follows the player.
struct Step
{
    S from;
    QString commands, calls;
    S to;
    QStringList messages;
    QString slider, label;
    bool follows;
};

// Set Start or Set Stop on a task with a stored range, then the task shown again.
struct Marks
{
    TrimRangeValues before;
    int start, stop, duration, result;
    TrimRangeValues stored;
    int shownStart, shownStop; // None: the control keeps its value
};

} // namespace

class TestPreviewPlayer : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandIn> m_standIn;

    // Blank-separated commands. "at:P/L" sets the player's position and length, "throw:NAME" makes
    // player_NAME throw; "slider:P/M" and "held" set the slider; "deselect", "second", "both", "empty" the list.
    void run(PreviewPlayer &player, FakeHost &host, const QString &commands)
    {
        static const QHash<QString, void (PreviewPlayer::*)()> commandOf{
            {"play", &PreviewPlayer::Play}, {"pause", &PreviewPlayer::Pause}, {"stop", &PreviewPlayer::Stop},
            {"tick", &PreviewPlayer::OnPositionTick}, {"release", &PreviewPlayer::OnSliderReleased},
            {"resize", &PreviewPlayer::Resize}, {"converted", &PreviewPlayer::PlayConvertedFiles}};
        for (const QString &c : commands.split(u' ')) {
            const QString arg = c.section(u':', 1);
            const int first = arg.section(u'/', 0, 0).toInt(), second = arg.section(u'/', 1).toInt();
            if (commandOf.contains(c)) (player.*commandOf[c])();
            else if (c.startsWith(u"at:")) m_standIn->at(first, second);
            else if (c.startsWith(u"throw:")) m_standIn->throwOn("player_" + arg.toLatin1());
            else if (c.startsWith(u"slider:")) std::tie(host.sliderPos, host.sliderMax) = std::pair(first, second);
            else if (c == u"held") host.follows = false;
            else if (c == u"deselect") host.selected.clear();
            else if (c == u"second") host.selected = {1};
            else if (c == u"both") host.selected = {0, 1};
            else if (c == u"empty") host.rows.clear();
            else QFAIL(qPrintable("unknown command " + c));
        }
    }

    // A player on the complete stand-in in the given state, with what was recorded so far cleared.
    std::unique_ptr<PreviewPlayer> playerIn(FakeHost &host, PreviewState state)
    {
        m_standIn->throwOn({});
        m_standIn->at(0, 125);
        auto player = std::make_unique<PreviewPlayer>(host);
        if (!player->LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)))
            return nullptr;
        if (state != Ready)
            run(*player, host, state == Paused ? "play pause" : state == Stopped ? "play stop" : "play");
        if (player->State() != state)
            return nullptr;
        m_standIn->clearLog();
        host.messages.clear();
        host.waits.clear();
        host.timerStarts = host.invalidations = 0;
        host.label = "before";
        return player;
    }

private slots:
    void initTestCase()
    {
        m_standIn = std::make_unique<StandIn>(STANDIN_FULL_DIR);
        QVERIFY(m_standIn->isValid());
    }

    void startUp_data()
    {
        QTest::addColumn<bool>("library");
        QTest::addColumn<QByteArray>("failing");
        QTest::newRow("no library") << false << QByteArray();
        QTest::newRow("init throws") << true << QByteArray("player_init");
        QTest::newRow("ready") << true << QByteArray();
    }
    void startUp()
    {
        QFETCH(bool, library);
        QFETCH(QByteArray, failing);
        const bool ok = library && failing.isEmpty();
        m_standIn->throwOn(failing);
        QTemporaryDir empty;
        FakeHost host;
        PreviewPlayer player(host);
        QCOMPARE(player.LoadAndInitialise(library ? QStringLiteral(STANDIN_FULL_DIR) : empty.path() + u'/'), ok);
        QCOMPARE(player.IsLoaded(), library);
        QCOMPARE(player.State(), ok ? Ready : Uninitialised);
        QCOMPARE(host.messages, ok ? QStringList() : QStringList{"Error! init player_init!"});
        QCOMPARE(m_standIn->calls(), library ? "init 7" : "");
        if (library)
            return;
        // Without the library Play still sets the slider up, and no command says a word.
        host.sliderPos = 7;
        run(player, host, "play pause stop tick release resize converted");
        QCOMPARE(std::pair(host.sliderMax, host.sliderPos), std::pair(125, 0));
        QCOMPARE(host.messages.size(), 1);
        QCOMPARE(player.State(), Uninitialised);
        QCOMPARE(host.timerStarts, 0);
    }

    void commands_data()
    {
        QTest::addColumn<Step>("step");
        auto row = [](const QByteArray &name, S from, const char *commands, const char *calls, S to,
                      const QStringList &messages = {}, const char *slider = "30", const char *label = "before",
                      bool follows = true) {
            QTest::newRow(name.constData()) << Step{from, commands, calls, to, messages, slider, label, follows};
        };
        const char *start = "init 7, stop, start /in/a.avi, resize 7", *resume = "init 7, pause, resize 7";
        const char *stop = "getpos, seek 0, stop", *zero = "00:00:00 / 00:02:05", *end = "00:02:05 / 00:02:05";
        const char *at17 = "00:00:17 / 00:02:05";
        const QStringList sf{StartFailed}, pf{PauseFailed};
        for (S state : {Ready, Playing, Stopped}) // playing: restarts
            row("play in state " + QByteArray::number(int(state)), state, "play", start, Playing, {}, "0/125");
        row("play: the selected row", Ready, "second play", "init 7, stop, start /in/b.avi, resize 7",
            Playing, {}, "0/30");
        row("play: first of two selected", Ready, "both play", start, Playing, {}, "0/125");
        row("play: no selection takes row 0", Ready, "deselect play", start, Playing, {}, "0/125");
        row("play: empty list", Ready, "empty deselect play", "", Ready, {}, "30/-1");
        row("play while paused resumes", Paused, "play", resume, Playing, {}, "0/125");
        row("pause twice calls once", Playing, "pause pause", "pause", Paused);
        row("pause while ready, play resumes", Ready, "pause play", resume, Playing, {}, "0");
        row("pause while stopped", Stopped, "pause", "", Paused);
        row("pause needs a selected row", Playing, "deselect pause", "", Playing);
        row("converted: each selected row", Ready, "at:0/31 both converted",
            "stop, start /out/a.mp4, getpos, stop, start /out/b.mp4, getpos", Playing, {}, "0/31");
        row("converted: unknown length keeps the range", Ready, "at:-1/-1 slider:9/5 second converted",
            "stop, start /out/b.mp4, getpos", Playing, {}, "0/5");
        // Nothing playing: nothing to stop, follow, move or fit.
        for (S state : {Ready, Stopped})
            for (const QByteArray c : {"stop", "tick", "held release", "resize"})
                row(c + " in state " + QByteArray::number(int(state)), state, c, "", state, {}, "30", "before", c != "held release");
        row("tick while paused", Paused, "tick", "", Paused);
        for (S state : {Playing, Paused})
            row("resize in state " + QByteArray::number(int(state)), state, "resize", "resize 7", state);

        row("tick", Playing, "at:17/125 tick", "getpos", Playing, {}, "17", at17);
        row("tick, slider held", Playing, "at:17/125 held tick", "getpos", Playing, {}, "30", at17, false);
        row("tick at the end", Playing, "tick", "getpos, seek 0", Playing, {}, "125", end);
        row("tick, empty file", Playing, "at:0/0 tick", "getpos, seek 0", Playing, {}, "0", "00:00:00 / 00:00:00");
        row("tick, no position", Playing, "at:-1/125 tick", "getpos", Playing);
        row("tick, no length", Playing, "at:17/-1 tick", "getpos", Playing);
        row("tick, 100 hours", Playing, "at:360000/360059 tick", "getpos",
            Playing, {}, "360000", "100:00:00 / 100:00:59");
        row("stop while playing", Playing, "at:42/125 stop", stop, Stopped, {}, "0", zero);
        row("stop while paused", Paused, "at:42/3725 stop", stop, Stopped, {}, "0", "00:00:00 / 01:02:05");
        row("stop, no position", Playing, "at:-1/125 stop", stop, Stopped);
        row("stop, no length", Paused, "at:5/-1 stop", stop, Stopped);
        row("release at the start", Playing, "held slider:0/125 release", "getpos, seek 0", Playing, {}, "0", zero);
        row("release at the end", Paused, "held slider:125/125 release", "getpos, seek 100", Paused, {}, "125", end);
        row("release truncates", Playing, "held slider:2/3 release", "getpos, seek 66",
            Playing, {}, "2", "00:00:02 / 00:02:05");
        row("release, maximum 0", Paused, "held slider:0/0 release", "getpos, seek 0", Paused, {}, "0", zero);
        // The timer keeps off the thumb until a release with a known length.
        row("release, no length", Playing, "at:-1/-1 release", "getpos, seek 24", Playing, {}, "30", "before", false);

        // A throwing call ends its sequence, shows the command's message if it has one and keeps the state.
        row("play: init throws", Ready, "throw:init play", "init 7", Ready, sf, "0");
        row("play: stop throws", Stopped, "throw:stop play", "init 7, stop", Stopped, sf, "0");
        row("play: start throws", Playing, "throw:start play", "init 7, stop, start /in/a.avi", Playing, sf, "0");
        row("play: resume throws", Paused, "throw:pause play", "init 7, pause", Paused, sf, "0");
        row("play: resize throws", Ready, "throw:resize play", start, Playing, {}, "0");
        row("pause throws", Playing, "throw:pause pause", "pause", Playing, pf);
        row("stop: getpos throws", Playing, "throw:getpos stop", "getpos", Playing, pf);
        row("stop: seek throws", Paused, "throw:seek stop", "getpos, seek 0", Paused, pf);
        row("stop: stop throws", Playing, "throw:stop stop", stop, Playing, pf);
        row("tick: getpos throws", Playing, "throw:getpos tick", "getpos", Playing);
        row("tick: seek throws", Playing, "throw:seek tick", "getpos, seek 0", Playing, {}, "30", end);
        row("release: getpos throws", Paused, "throw:getpos release", "getpos", Paused);
        row("release: seek throws", Playing, "throw:seek release", "getpos, seek 24",
            Playing, {}, "30", "before", false);
        row("resize throws", Paused, "throw:resize resize", "resize 7", Paused);
        row("converted: start throws", Ready, "throw:start both converted",
            "stop, start /out/a.mp4, stop, start /out/b.mp4", Ready, {StartFailed, StartFailed}, "0");
        row("converted: getpos throws", Stopped, "throw:getpos both converted",
            "stop, start /out/a.mp4, getpos, stop, start /out/b.mp4, getpos",
            Playing, {StartFailed, StartFailed}, "0");
    }
    void commands()
    {
        QFETCH(Step, step);
        auto &[from, commands, calls, to, messages, slider, label, follows] = step;
        FakeHost host;
        auto player = playerIn(host, from);
        QVERIFY(player);
        m_standIn->at(125, 125); // at the end, so a tick seeks
        host.sliderPos = 30;
        run(*player, host, commands);
        QCOMPARE(m_standIn->calls(), calls);
        QCOMPARE(player->State(), to);
        QCOMPARE(host.messages, messages);
        QCOMPARE(host.label, label);
        const QString maximum = slider.contains(u'/') ? '/' + QString::number(host.sliderMax) : QString();
        QCOMPARE(QString::number(host.sliderPos) + maximum, slider);
        QCOMPARE(host.follows, follows);
        QCOMPARE(host.invalidations, int(commands.endsWith(u"stop") && label != u"before"));
        if (!commands.contains(u"throw:")) {
            // The timer starts and the player waits for each file started, and waits after a seek from the slider.
            const int started = int(calls.count("start /"));
            QCOMPARE(host.timerStarts, started);
            const bool sought = commands.endsWith(u"release") && !calls.isEmpty();
            QCOMPARE(host.waits, QList<int>(started, 600) + (sought ? QList<int>{400} : QList<int>()));
        }
    }

    void pathRule_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("passed");
        const QString fits = u'/' + QString(2046, u'a'); // 2047 bytes and the terminator
        QTest::newRow("fits exactly") << fits << fits.toUtf8();
        QTest::newRow("one byte too long") << fits + u'b' << QByteArray();
        const QString wide = u'/' + QString(1023, QChar(0xe9)) + u'x'; // bytes count, not letters
        QTest::newRow("two-byte letters too long") << wide << QByteArray();
        const QString odd = QStringLiteral("/media/a \"quoted\" $HOME 'x' \u041a\u0438\u043d\u043e \u6620\u753b.avi");
        QTest::newRow("blanks, quotes, dollar, non-Latin") << odd << odd.toUtf8();
    }
    void pathRule()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, passed);
        QCOMPARE(PreviewPlayer::NarrowPath(path), passed);
        FakeHost host;
        host.rows = {PreviewTask{path, path, 10}};
        auto player = playerIn(host, Ready);
        QVERIFY(player);
        player->Play();
        QCOMPARE(m_standIn->log().value(2).toUtf8(), "player_start " + passed);
        m_standIn->clearLog();
        player->PlayConvertedFiles();
        QCOMPARE(m_standIn->log().value(1).toUtf8(), "player_start " + passed);
    }

    void libraryErrors()
    {
        auto error = [](const std::function<void()> &call) -> QByteArray {
            try {
                call();
            } catch (const PreviewError &e) {
                return e.what();
            }
            return "no error";
        };
        // The shipped library beside the program loads and answers.
        PreviewLibrary real, missing, noSeek, standIn;
        QVERIFY2(real.Load(TestSupport::BinDir() + u'/'), qPrintable(real.LoadError()));
        int position = 0, length = 0;
        QCOMPARE(error([&] { real.Init(0); real.GetPos(position, length); }), "no error");
        QCOMPARE(std::pair(position, length), std::pair(-1, -1));
        // A failure names the call.
        QVERIFY(!missing.Load(QDir::tempPath() + "/no such folder/"));
        QVERIFY(!missing.LoadError().isEmpty());
        QCOMPARE(error([&] { missing.Init(0); }), "player_init is not available");
        QVERIFY(noSeek.Load(STANDIN_NOSEEK_DIR)); // loading does not notice a missing call; making it does
        QCOMPARE(error([&] { noSeek.Seek(50); }), "player_seek is not available");
        QVERIFY(standIn.Load(STANDIN_FULL_DIR));
        m_standIn->throwOn("player_stop");
        QCOMPARE(error([&] { standIn.Stop(); }), "player_stop failed");
    }

    void marks_data()
    {
        QTest::addColumn<PreviewState>("from");
        QTest::addColumn<QString>("commands");
        QTest::addColumn<int>("mark");
        QTest::newRow("ready") << Ready << "" << None;
        QTest::newRow("playing: the player's position") << Playing << "" << 33;
        QTest::newRow("playing, getpos throws") << Playing << "throw:getpos" << None;
        QTest::newRow("paused: the slider's") << Paused << "" << 12;
        QTest::newRow("stopped") << Stopped << "" << None;
    }
    void marks()
    {
        QFETCH(PreviewState, from);
        QFETCH(QString, commands);
        QFETCH(int, mark);
        FakeHost host;
        auto player = playerIn(host, from);
        QVERIFY(player);
        m_standIn->at(33, 125);
        if (!commands.isEmpty())
            run(*player, host, commands);
        host.sliderPos = 12; // moved and released while paused
        QCOMPARE(player->TakeMark().value_or(None), mark);
        QCOMPARE(m_standIn->calls(), from == Playing ? "getpos" : "");
        m_standIn->throwOn({});
        m_standIn->at(-1, -1); // a player without a position gives no mark
        QCOMPARE(player->TakeMark().value_or(None), from == Paused ? 12 : None);
    }

    void trimRange_data()
    {
        QTest::addColumn<Marks>("marks");
        const TrimRangeValues old{3, 4, 1}, none;
        QTest::newRow("plain") << Marks{old, 5, 20, 60, 15, TrimRangeValues{5, 20, 15}, 5, 20};
        QTest::newRow("reversed") << Marks{old, 10, 5, 60, 5, TrimRangeValues{5, 10, 5}, 5, 10};
        QTest::newRow("stop at the end") << Marks{old, 20, 60, 60, 40, TrimRangeValues{20, 60, 40}, 20, 60};
        QTest::newRow("stop 0: to the end") << Marks{old, 10, 0, 60, -10, TrimRangeValues{10, 0, -10}, 10, 60};
        QTest::newRow("stop beyond the end") << Marks{old, 10, 61, 60, 60, TrimRangeValues{0, 60, 60}, 0, 60};
        QTest::newRow("start beyond the end") << Marks{old, 70, 20, 60, 60, TrimRangeValues{0, 60, 60}, 0, 60};
        QTest::newRow("start equals stop") << Marks{old, 7, 7, 60, 0, old, 3, 4};
        QTest::newRow("nothing stored yet") << Marks{none, 7, 7, 60, 0, none, 0, 60};
        QTest::newRow("length not known") << Marks{none, 5, 9, 0, 0, none, 0, 0};
        QTest::newRow("negative fields") << Marks{TrimRangeValues{-1, -1, 0}, 0, 0, 60, 0, TrimRangeValues{-1, -1, 0}, None, None};
        QTest::newRow("long file") << Marks{old, 90000, 360000, 360000, 270000, TrimRangeValues{90000, 360000, 270000}, 90000, 360000};
    }
    void trimRange()
    {
        QFETCH(Marks, marks);
        const auto &[before, start, stop, duration, result, stored, shownStart, shownStop] = marks;
        TrimRangeValues range = before;
        QCOMPARE(ApplyTrimRange(start, stop, duration, &range), result);
        QCOMPARE(range, stored);
        const TrimRangeDisplay shown = ShowTrimRange(range, duration);
        QCOMPARE(std::pair(shown.start.value_or(None), shown.stop.value_or(None)), std::pair(shownStart, shownStop));
        // The same on a task record; without a task nothing is stored.
        TaskRecord task;
        std::tie(task.trimStart, task.trimStop, task.trimLength, task.durationSec) =
            std::tuple(before.trimStart, before.trimStop, before.trimLength, duration);
        QCOMPARE(ApplyTrimRangeToTask(start, stop, &task), result);
        QCOMPARE((TrimRangeValues{task.trimStart, task.trimStop, task.trimLength}), stored);
        QCOMPARE(ApplyTrimRange(start, stop, duration, nullptr), -1);
        QCOMPARE(ApplyTrimRangeToTask<TaskRecord>(start, stop, nullptr), -1);
    }
};

QTEST_GUILESS_MAIN(TestPreviewPlayer)
#include "test_previewplayer.moc"
