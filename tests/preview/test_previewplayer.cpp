// The preview player's call sequences, guards and state, against a stand-in
// library that records what it is asked; and the trim range rules.
#include <QtTest>

#include <dlfcn.h>

#include "preview/PreviewPlayer.h"
#include "preview/TrimRange.h"
#include "support/TestSupport.h"

Q_DECLARE_METATYPE(PreviewState)
Q_DECLARE_METATYPE(TrimRangeValues)

namespace {

constexpr quintptr Window = 0x4a0001;

// The window side, recording what the player does to it.
class FakeHost : public PreviewHost
{
public:
    QList<std::optional<PreviewTask>> rows;
    QList<int> selected;
    int sliderMax = -1;
    int sliderPos = -1;
    bool follows = true;
    QString label = QStringLiteral("untouched");
    int timerStarts = 0;
    int invalidations = 0;
    QList<int> selectedByPlayer;
    QStringList messages;
    QList<int> waits;

    quintptr PreviewWindow() override { return Window; }
    void InvalidatePreviewArea() override { ++invalidations; }
    QList<int> SelectedRows() override { return selected; }
    void SelectRow(int row) override
    {
        selectedByPlayer << row;
        if (row < rows.size())
            selected = {row};
    }
    std::optional<PreviewTask> TaskAt(int row) override
    {
        return row >= 0 && row < rows.size() ? rows[row] : std::nullopt;
    }
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

    void AddTask(const QString &source, int duration, const QString &output = QString())
    {
        rows << PreviewTask{source, output, duration};
    }
};

// The control calls of a loaded stand-in.
class StandIn
{
public:
    explicit StandIn(const char *folder)
    {
        const QByteArray path = QByteArray(folder) + PreviewLibrary::FileName;
        m_module = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
        if (!m_module)
            m_module = dlopen(path.constData(), RTLD_NOW);
        if (!m_module)
            return;
        m_reset = reinterpret_cast<void (*)()>(dlsym(m_module, "standin_reset"));
        m_throwOn = reinterpret_cast<void (*)(const char *)>(dlsym(m_module, "standin_throw_on"));
        m_setPosition = reinterpret_cast<void (*)(int, int)>(dlsym(m_module, "standin_set_position"));
        m_log = reinterpret_cast<const char *(*)()>(dlsym(m_module, "standin_log"));
    }
    bool isValid() const { return m_reset && m_throwOn && m_setPosition && m_log; }
    void reset() { m_reset(); }
    void throwOn(const char *name) { m_throwOn(name); }
    void setPosition(int position, int length) { m_setPosition(position, length); }
    QStringList log() const { return QString::fromUtf8(m_log()).split(u'\n', Qt::SkipEmptyParts); }
    void clearLog()
    {
        // Keeps the position and the failing call, forgets the calls so far.
        QByteArray failing = m_failing;
        m_reset();
        m_setPosition(m_position, m_length);
        if (!failing.isEmpty())
            m_throwOn(failing.constData());
    }
    void remember(int position, int length, const QByteArray &failing = QByteArray())
    {
        m_position = position;
        m_length = length;
        m_failing = failing;
        m_setPosition(position, length);
        m_throwOn(failing.constData());
    }

private:
    void *m_module = nullptr;
    void (*m_reset)() = nullptr;
    void (*m_throwOn)(const char *) = nullptr;
    void (*m_setPosition)(int, int) = nullptr;
    const char *(*m_log)() = nullptr;
    int m_position = -1;
    int m_length = -1;
    QByteArray m_failing;
};

const QString InitFailed = QStringLiteral("Error! init player_init!");
const QString StartFailed = QStringLiteral("Error preview,player_start!");
const QString PauseFailed = QStringLiteral("Error preview,player_pause!");
const QString WindowArg = QString::number(Window);

QStringList Calls(std::initializer_list<const char *> calls)
{
    QStringList list;
    for (const char *c : calls)
        list << QString::fromUtf8(c);
    return list;
}

} // namespace

class TestPreviewPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startUpWithoutLibrary();
    void startUpInitFails();
    void startUpReady();

    void playFromReady();
    void playWithoutSelectionUsesRowZero();
    void playOnEmptyListDoesNothing();
    void playWhilePlayingRestarts();
    void playWhilePausedResumes();
    void pauseTwiceCallsOnce();
    void pauseWhileReadyOrStopped_data();
    void pauseWhileReadyOrStopped();
    void pauseNeedsSelectedRow();
    void stopFromReadyOrStoppedDoesNothing();
    void stopFromPlayingOrPaused_data();
    void stopFromPlayingOrPaused();

    void tick_data();
    void tick();
    void tickOnlyWhilePlaying();
    void timeLabel_data();
    void timeLabel();

    void sliderRelease_data();
    void sliderRelease();
    void sliderReleaseWithoutLength();
    void sliderReleaseOnlyWhilePlayingOrPaused();

    void resizeOnlyWhilePlayingOrPaused();
    void playConvertedFiles();

    void pathRule_data();
    void pathRule();

    void guards_data();
    void guards();
    void missingExport();
    void realLibraryFromProgramFolder();

    void marks();

    void applyTrimRange_data();
    void applyTrimRange();
    void applyTrimRangeWithoutTask();
    void showTrimRange_data();
    void showTrimRange();
    void trimRangeAcrossTasks();

private:
    // A player loaded from the complete stand-in, with one task selected.
    std::unique_ptr<PreviewPlayer> readyPlayer(FakeHost &host);
    void bringTo(PreviewPlayer &player, FakeHost &host, PreviewState state);

    std::unique_ptr<StandIn> m_standIn;
};

void TestPreviewPlayer::initTestCase()
{
    FakeHost host;
    PreviewPlayer player(host);
    QVERIFY2(player.LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)), STANDIN_FULL_DIR);
    m_standIn = std::make_unique<StandIn>(STANDIN_FULL_DIR);
    QVERIFY(m_standIn->isValid());
}

void TestPreviewPlayer::init()
{
    m_standIn->remember(-1, -1);
    m_standIn->reset();
}

std::unique_ptr<PreviewPlayer> TestPreviewPlayer::readyPlayer(FakeHost &host)
{
    host.AddTask(QStringLiteral("/media/clip one.avi"), 125, QStringLiteral("/out/clip one.mp4"));
    host.AddTask(QStringLiteral("/media/clip two.avi"), 30, QStringLiteral("/out/clip two.mp4"));
    host.selected = {0};
    auto player = std::make_unique<PreviewPlayer>(host);
    if (!player->LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)))
        return nullptr;
    m_standIn->clearLog();
    return player;
}

void TestPreviewPlayer::bringTo(PreviewPlayer &player, FakeHost &host, PreviewState state)
{
    switch (state) {
    case PreviewState::Playing:
        player.Play();
        break;
    case PreviewState::Paused:
        player.Play();
        player.Pause();
        break;
    case PreviewState::Stopped:
        m_standIn->setPosition(0, 125);
        player.Play();
        player.Stop();
        break;
    default:
        break;
    }
    QCOMPARE(player.State(), state);
    m_standIn->clearLog();
    host.messages.clear();
    host.waits.clear();
    host.timerStarts = 0;
    host.invalidations = 0;
}

void TestPreviewPlayer::startUpWithoutLibrary()
{
    QTemporaryDir empty;
    FakeHost host;
    host.AddTask(QStringLiteral("/media/a.avi"), 10);
    host.selected = {0};
    PreviewPlayer player(host);
    QVERIFY(!player.LoadAndInitialise(empty.path() + u'/'));
    QCOMPARE(host.messages, QStringList{InitFailed});
    QCOMPARE(player.State(), PreviewState::Uninitialised);
    QVERIFY(!player.IsLoaded());

    // Play still takes the row and resets the slider; nothing else says a word.
    host.sliderPos = 7;
    player.Play();
    QCOMPARE(host.sliderMax, 10);
    QCOMPARE(host.sliderPos, 0);
    player.Pause();
    player.Stop();
    player.OnPositionTick();
    player.OnSliderReleased();
    player.Resize();
    player.PlayConvertedFiles();
    QCOMPARE(host.messages, QStringList{InitFailed});
    QCOMPARE(player.State(), PreviewState::Uninitialised);
    QCOMPARE(host.timerStarts, 0);
}

void TestPreviewPlayer::startUpInitFails()
{
    m_standIn->remember(-1, -1, "player_init");
    FakeHost host;
    PreviewPlayer player(host);
    QVERIFY(!player.LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)));
    QVERIFY(player.IsLoaded());
    QCOMPARE(host.messages, QStringList{InitFailed});
    QCOMPARE(player.State(), PreviewState::Uninitialised);
    QCOMPARE(m_standIn->log(), QStringList{QStringLiteral("player_init ") + WindowArg});
}

void TestPreviewPlayer::startUpReady()
{
    FakeHost host;
    PreviewPlayer player(host);
    QVERIFY(player.LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)));
    QVERIFY(host.messages.isEmpty());
    QCOMPARE(player.State(), PreviewState::Ready);
    QCOMPARE(m_standIn->log(), QStringList{QStringLiteral("player_init ") + WindowArg});
}

void TestPreviewPlayer::playFromReady()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    host.selected = {0, 1}; // the first selected row plays
    host.sliderPos = 50;
    player->Play();
    QCOMPARE(m_standIn->log(), QStringList({QStringLiteral("player_init ") + WindowArg,
                                            QStringLiteral("player_stop"),
                                            QStringLiteral("player_start /media/clip one.avi"),
                                            QStringLiteral("player_resize ") + WindowArg}));
    QCOMPARE(player->State(), PreviewState::Playing);
    QCOMPARE(host.sliderMax, 125);
    QCOMPARE(host.sliderPos, 0);
    QCOMPARE(host.timerStarts, 1);
    QCOMPARE(host.waits, QList<int>{600});
    QVERIFY(host.messages.isEmpty());
}

void TestPreviewPlayer::playWithoutSelectionUsesRowZero()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    host.selected.clear();
    player->Play();
    QCOMPARE(host.selectedByPlayer, QList<int>{0});
    QVERIFY(m_standIn->log().contains(QStringLiteral("player_start /media/clip one.avi")));
    QCOMPARE(player->State(), PreviewState::Playing);
}

void TestPreviewPlayer::playOnEmptyListDoesNothing()
{
    FakeHost host;
    PreviewPlayer player(host);
    QVERIFY(player.LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)));
    m_standIn->clearLog();
    player.Play();
    QCOMPARE(host.selectedByPlayer, QList<int>{0});
    QVERIFY(m_standIn->log().isEmpty());
    QCOMPARE(host.sliderMax, -1);
    QCOMPARE(player.State(), PreviewState::Ready);
}

void TestPreviewPlayer::playWhilePlayingRestarts()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    player->Play();
    QCOMPARE(m_standIn->log(), QStringList({QStringLiteral("player_init ") + WindowArg,
                                            QStringLiteral("player_stop"),
                                            QStringLiteral("player_start /media/clip one.avi"),
                                            QStringLiteral("player_resize ") + WindowArg}));
    QCOMPARE(player->State(), PreviewState::Playing);
}

void TestPreviewPlayer::playWhilePausedResumes()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Paused);
    player->Play();
    QCOMPARE(m_standIn->log(), QStringList({QStringLiteral("player_init ") + WindowArg,
                                            QStringLiteral("player_pause"),
                                            QStringLiteral("player_resize ") + WindowArg}));
    QCOMPARE(player->State(), PreviewState::Playing);
    QCOMPARE(host.timerStarts, 0);
    QVERIFY(host.waits.isEmpty());
}

void TestPreviewPlayer::pauseTwiceCallsOnce()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    player->Pause();
    player->Pause();
    QCOMPARE(m_standIn->log(), Calls({"player_pause"}));
    QCOMPARE(player->State(), PreviewState::Paused);
}

void TestPreviewPlayer::pauseWhileReadyOrStopped_data()
{
    QTest::addColumn<PreviewState>("from");
    QTest::newRow("ready") << PreviewState::Ready;
    QTest::newRow("stopped") << PreviewState::Stopped;
}

void TestPreviewPlayer::pauseWhileReadyOrStopped()
{
    QFETCH(PreviewState, from);
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, from);
    player->Pause();
    QVERIFY(m_standIn->log().isEmpty());
    QCOMPARE(player->State(), PreviewState::Paused);
    // The next Play resumes instead of starting.
    player->Play();
    QVERIFY(m_standIn->log().contains(QStringLiteral("player_pause")));
    QVERIFY(!m_standIn->log().join(u'\n').contains(QStringLiteral("player_start")));
    QCOMPARE(player->State(), PreviewState::Playing);
}

void TestPreviewPlayer::pauseNeedsSelectedRow()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    host.selected.clear();
    player->Pause();
    QVERIFY(m_standIn->log().isEmpty());
    QCOMPARE(player->State(), PreviewState::Playing);
}

void TestPreviewPlayer::stopFromReadyOrStoppedDoesNothing()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    host.label = QStringLiteral("kept");
    player->Stop();
    QCOMPARE(player->State(), PreviewState::Ready);
    bringTo(*player, host, PreviewState::Stopped);
    host.label = QStringLiteral("kept");
    player->Stop();
    QCOMPARE(player->State(), PreviewState::Stopped);
    QVERIFY(m_standIn->log().isEmpty());
    QCOMPARE(host.label, QStringLiteral("kept"));
    QCOMPARE(host.invalidations, 0);
}

void TestPreviewPlayer::stopFromPlayingOrPaused_data()
{
    QTest::addColumn<PreviewState>("from");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("label");
    QTest::newRow("playing") << PreviewState::Playing << 42 << 125 << QStringLiteral("00:00:00 / 00:02:05");
    QTest::newRow("paused") << PreviewState::Paused << 42 << 3725 << QStringLiteral("00:00:00 / 01:02:05");
    QTest::newRow("no position") << PreviewState::Playing << -1 << 125 << QStringLiteral("before");
    QTest::newRow("no length") << PreviewState::Paused << 5 << -1 << QStringLiteral("before");
}

void TestPreviewPlayer::stopFromPlayingOrPaused()
{
    QFETCH(PreviewState, from);
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(QString, label);
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, from);
    m_standIn->remember(position, length);
    host.label = QStringLiteral("before");
    host.sliderPos = 42;
    player->Stop();
    QCOMPARE(m_standIn->log(), Calls({"player_getpos", "player_seek 0", "player_stop"}));
    QCOMPARE(player->State(), PreviewState::Stopped);
    QCOMPARE(host.label, label);
    const bool shown = position >= 0 && length >= 0;
    QCOMPARE(host.sliderPos, shown ? 0 : 42);
    QCOMPARE(host.invalidations, shown ? 1 : 0);
    QVERIFY(host.messages.isEmpty());
}

void TestPreviewPlayer::tick_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("follows");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("slider");

    const QStringList poll = Calls({"player_getpos"});
    const QStringList pollAndRewind = Calls({"player_getpos", "player_seek 0"});
    QTest::newRow("moving") << 17 << 125 << true << poll << QStringLiteral("00:00:17 / 00:02:05") << 17;
    QTest::newRow("slider held") << 17 << 125 << false << poll << QStringLiteral("00:00:17 / 00:02:05") << 3;
    QTest::newRow("at the end") << 125 << 125 << true << pollAndRewind << QStringLiteral("00:02:05 / 00:02:05") << 125;
    QTest::newRow("empty file at its end") << 0 << 0 << true << pollAndRewind << QStringLiteral("00:00:00 / 00:00:00") << 0;
    QTest::newRow("no position") << -1 << 125 << true << poll << QStringLiteral("before") << 3;
    QTest::newRow("no length") << 17 << -1 << true << poll << QStringLiteral("before") << 3;
}

void TestPreviewPlayer::tick()
{
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(bool, follows);
    QFETCH(QStringList, calls);
    QFETCH(QString, label);
    QFETCH(int, slider);
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    m_standIn->remember(position, length);
    host.follows = follows;
    host.sliderPos = 3;
    host.label = QStringLiteral("before");
    player->OnPositionTick();
    QCOMPARE(m_standIn->log(), calls);
    QCOMPARE(host.label, label);
    QCOMPARE(host.sliderPos, slider);
    QCOMPARE(player->State(), PreviewState::Playing);
}

void TestPreviewPlayer::tickOnlyWhilePlaying()
{
    for (PreviewState state : {PreviewState::Ready, PreviewState::Paused, PreviewState::Stopped}) {
        FakeHost host;
        auto player = readyPlayer(host);
        QVERIFY(player);
        bringTo(*player, host, state);
        m_standIn->remember(5, 10);
        host.label = QStringLiteral("before");
        player->OnPositionTick();
        QVERIFY(m_standIn->log().isEmpty());
        QCOMPARE(host.label, QStringLiteral("before"));
    }
}

void TestPreviewPlayer::timeLabel_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("label");
    QTest::newRow("zero") << 0 << 0 << QStringLiteral("00:00:00 / 00:00:00");
    QTest::newRow("minute and hour") << 59 << 3725 << QStringLiteral("00:00:59 / 01:02:05");
    QTest::newRow("a day") << 86399 << 86400 << QStringLiteral("23:59:59 / 24:00:00");
    QTest::newRow("100 hours") << 360000 << 360059 << QStringLiteral("100:00:00 / 100:00:59");
}

void TestPreviewPlayer::timeLabel()
{
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(QString, label);
    // Through the running player, as the window sees it.
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    m_standIn->remember(position, length);
    player->OnPositionTick();
    QCOMPARE(host.label, label);
}

void TestPreviewPlayer::sliderRelease_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("percent");
    QTest::newRow("minimum") << 0 << 125 << 0;
    QTest::newRow("maximum") << 125 << 125 << 100;
    QTest::newRow("middle") << 50 << 100 << 50;
    QTest::newRow("truncated third") << 1 << 3 << 33;
    QTest::newRow("truncated two thirds") << 2 << 3 << 66;
    QTest::newRow("one before the end") << 124 << 125 << 99;
    QTest::newRow("no range") << 0 << 0 << 0;
    QTest::newRow("long file") << 359999 << 360000 << 99;
}

void TestPreviewPlayer::sliderRelease()
{
    QFETCH(int, position);
    QFETCH(int, maximum);
    QFETCH(int, percent);
    for (PreviewState state : {PreviewState::Playing, PreviewState::Paused}) {
        FakeHost host;
        auto player = readyPlayer(host);
        QVERIFY(player);
        bringTo(*player, host, state);
        m_standIn->remember(77, 125);
        host.sliderMax = maximum;
        host.sliderPos = position;
        host.follows = false;
        player->OnSliderReleased();
        QCOMPARE(m_standIn->log(), QStringList({QStringLiteral("player_getpos"),
                                                QStringLiteral("player_seek %1").arg(percent)}));
        QCOMPARE(host.waits, QList<int>{400});
        QCOMPARE(host.label, PreviewPlayer::FormatTimeLabel(position, 125));
        QVERIFY(host.follows);
        QCOMPARE(player->State(), state);
    }
}

void TestPreviewPlayer::sliderReleaseWithoutLength()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, PreviewState::Playing);
    m_standIn->remember(-1, -1);
    host.sliderMax = 100;
    host.sliderPos = 30;
    host.label = QStringLiteral("before");
    player->OnSliderReleased();
    QCOMPARE(m_standIn->log(), Calls({"player_getpos", "player_seek 30"}));
    // The timer keeps off the thumb until a release with a known length.
    QVERIFY(!host.follows);
    QCOMPARE(host.label, QStringLiteral("before"));
}

void TestPreviewPlayer::sliderReleaseOnlyWhilePlayingOrPaused()
{
    for (PreviewState state : {PreviewState::Ready, PreviewState::Stopped}) {
        FakeHost host;
        auto player = readyPlayer(host);
        QVERIFY(player);
        bringTo(*player, host, state);
        host.sliderMax = 100;
        host.sliderPos = 30;
        player->OnSliderReleased();
        QVERIFY(m_standIn->log().isEmpty());
        QVERIFY(host.follows);
    }
}

void TestPreviewPlayer::resizeOnlyWhilePlayingOrPaused()
{
    const QStringList resize{QStringLiteral("player_resize ") + WindowArg};
    const QList<std::pair<PreviewState, QStringList>> cases{{PreviewState::Ready, {}},
                                                            {PreviewState::Playing, resize},
                                                            {PreviewState::Paused, resize},
                                                            {PreviewState::Stopped, {}}};
    for (const auto &[state, calls] : cases) {
        FakeHost host;
        auto player = readyPlayer(host);
        QVERIFY(player);
        bringTo(*player, host, state);
        player->Resize();
        QCOMPARE(m_standIn->log(), calls);
    }
}

void TestPreviewPlayer::playConvertedFiles()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    host.selected = {0, 1};
    host.sliderPos = 9;
    m_standIn->remember(0, 31);
    player->PlayConvertedFiles();
    QCOMPARE(m_standIn->log(), Calls({"player_stop", "player_start /out/clip one.mp4", "player_getpos",
                                      "player_stop", "player_start /out/clip two.mp4", "player_getpos"}));
    QCOMPARE(player->State(), PreviewState::Playing);
    QCOMPARE(host.sliderPos, 0);
    QCOMPARE(host.sliderMax, 31);
    QCOMPARE(host.timerStarts, 2);
    QCOMPARE(host.waits, QList<int>({600, 600}));

    // An unknown length leaves the slider's range alone.
    m_standIn->remember(-1, -1);
    m_standIn->clearLog();
    host.sliderMax = 5;
    host.selected = {1};
    player->PlayConvertedFiles();
    QCOMPARE(host.sliderMax, 5);
}

void TestPreviewPlayer::pathRule_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("passed");

    const QString fits = u'/' + QString(2046, u'a'); // 2047 bytes and the terminator
    QTest::newRow("fits exactly") << fits << fits.toUtf8();
    QTest::newRow("one byte too long") << fits + u'b' << QByteArray();
    // Bytes count, not letters: "é" takes two.
    const QString wide = u'/' + QString(1023, QChar(0xe9));
    QTest::newRow("two-byte letters that fit") << wide << wide.toUtf8();
    QTest::newRow("two-byte letters too long") << wide + u'x' << QByteArray();
    const QString odd = QStringLiteral("/media/a \"quoted\" $HOME 'x' \u041a\u0438\u043d\u043e \u6620\u753b.avi");
    QTest::newRow("blanks, quotes, dollar, non-Latin") << odd << odd.toUtf8();
}

void TestPreviewPlayer::pathRule()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, passed);
    QCOMPARE(PreviewPlayer::NarrowPath(path), passed);

    FakeHost host;
    host.rows << PreviewTask{path, path, 10};
    host.selected = {0};
    PreviewPlayer player(host);
    QVERIFY(player.LoadAndInitialise(QStringLiteral(STANDIN_FULL_DIR)));
    m_standIn->clearLog();
    player.Play();
    const QStringList log = m_standIn->log();
    QCOMPARE(log.size(), 4);
    QCOMPARE(log.at(2).toUtf8(), "player_start " + passed);
    // Play Converted File passes the output path by the same rule.
    m_standIn->clearLog();
    player.PlayConvertedFiles();
    QCOMPARE(m_standIn->log().value(1).toUtf8(), "player_start " + passed);
}

void TestPreviewPlayer::guards_data()
{
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<PreviewState>("from");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<PreviewState>("to");

    const QStringList none;
    const QStringList start{StartFailed};
    const QStringList pause{PauseFailed};
    using S = PreviewState;
    QTest::newRow("play: init") << QByteArray("player_init") << S::Ready << "play" << start << S::Ready;
    QTest::newRow("play: stop") << QByteArray("player_stop") << S::Stopped << "play" << start << S::Stopped;
    QTest::newRow("play: start") << QByteArray("player_start") << S::Playing << "play" << start << S::Playing;
    QTest::newRow("play: resume") << QByteArray("player_pause") << S::Paused << "play" << start << S::Paused;
    QTest::newRow("play: resize") << QByteArray("player_resize") << S::Ready << "play" << none << S::Playing;
    QTest::newRow("pause") << QByteArray("player_pause") << S::Playing << "pause" << pause << S::Playing;
    QTest::newRow("stop: getpos") << QByteArray("player_getpos") << S::Playing << "stop" << pause << S::Playing;
    QTest::newRow("stop: seek") << QByteArray("player_seek") << S::Paused << "stop" << pause << S::Paused;
    QTest::newRow("stop: stop") << QByteArray("player_stop") << S::Playing << "stop" << pause << S::Playing;
    QTest::newRow("tick: getpos") << QByteArray("player_getpos") << S::Playing << "tick" << none << S::Playing;
    QTest::newRow("tick: seek") << QByteArray("player_seek") << S::Playing << "tick" << none << S::Playing;
    QTest::newRow("release: getpos") << QByteArray("player_getpos") << S::Paused << "release" << none << S::Paused;
    QTest::newRow("release: seek") << QByteArray("player_seek") << S::Playing << "release" << none << S::Playing;
    QTest::newRow("resize") << QByteArray("player_resize") << S::Paused << "resize" << none << S::Paused;
    QTest::newRow("converted: start") << QByteArray("player_start") << S::Ready << "converted"
                                      << QStringList{StartFailed, StartFailed} << S::Ready;
    QTest::newRow("converted: getpos") << QByteArray("player_getpos") << S::Stopped << "converted"
                                       << QStringList{StartFailed, StartFailed} << S::Playing;
    QTest::newRow("mark: getpos") << QByteArray("player_getpos") << S::Playing << "mark" << none << S::Playing;
}

void TestPreviewPlayer::guards()
{
    QFETCH(QByteArray, failing);
    QFETCH(PreviewState, from);
    QFETCH(QString, command);
    QFETCH(QStringList, messages);
    QFETCH(PreviewState, to);

    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    bringTo(*player, host, from);
    // The position is at the end so a tick would seek.
    m_standIn->remember(125, 125, failing);
    host.selected = {0, 1};
    host.sliderMax = 125;
    host.sliderPos = 60;
    host.label = QStringLiteral("before");
    host.follows = true;

    if (command == u"play")
        player->Play();
    else if (command == u"pause")
        player->Pause();
    else if (command == u"stop")
        player->Stop();
    else if (command == u"tick")
        player->OnPositionTick();
    else if (command == u"release")
        player->OnSliderReleased();
    else if (command == u"resize")
        player->Resize();
    else if (command == u"converted")
        player->PlayConvertedFiles();
    else if (command == u"mark")
        QVERIFY(!player->TakeMark().has_value());

    QVERIFY2(m_standIn->log().join(u' ').contains(QString::fromLatin1(failing)), "the failing call was made");
    QCOMPARE(host.messages, messages);
    QCOMPARE(player->State(), to);
    if (command == u"stop" || command == u"release")
        QCOMPARE(host.label, QStringLiteral("before"));
}

void TestPreviewPlayer::missingExport()
{
    FakeHost host;
    host.AddTask(QStringLiteral("/media/a.avi"), 100);
    host.selected = {0};
    PreviewPlayer player(host);
    // Loading does not notice; the call does.
    QVERIFY(player.LoadAndInitialise(QStringLiteral(STANDIN_NOSEEK_DIR)));
    StandIn noSeek(STANDIN_NOSEEK_DIR);
    QVERIFY(noSeek.isValid());
    noSeek.reset();
    player.Play();
    QCOMPARE(player.State(), PreviewState::Playing);
    QVERIFY(host.messages.isEmpty());

    noSeek.setPosition(100, 100);
    player.OnPositionTick(); // wants to seek back to 0
    QVERIFY(host.messages.isEmpty());
    QCOMPARE(host.label, QStringLiteral("00:01:40 / 00:01:40"));

    host.sliderMax = 100;
    host.sliderPos = 50;
    player.OnSliderReleased();
    QVERIFY(host.messages.isEmpty());
    QVERIFY(!host.follows);

    noSeek.reset();
    noSeek.setPosition(10, 100);
    host.label = QStringLiteral("before");
    player.Stop();
    QCOMPARE(host.messages, QStringList{PauseFailed});
    QCOMPARE(player.State(), PreviewState::Playing);
    // The sequence ends at the missing call: no stop, no label.
    QCOMPARE(noSeek.log(), Calls({"player_getpos"}));
    QCOMPARE(host.label, QStringLiteral("before"));
}

void TestPreviewPlayer::realLibraryFromProgramFolder()
{
    // The shipped library beside the program resolves every call.
    PreviewLibrary library;
    QVERIFY2(library.Load(TestSupport::BinDir() + u'/'), qPrintable(library.LoadError()));
    library.Init(0);
    int position = 0, length = 0;
    library.GetPos(position, length);
    QCOMPARE(position, -1);
    QCOMPARE(length, -1);
    library.Start("");
    library.Pause();
    library.Seek(50);
    library.Resize(0);
    library.Stop();

    PreviewLibrary missing;
    QVERIFY(!missing.Load(QDir::tempPath() + QStringLiteral("/no such folder/")));
    QVERIFY(!missing.LoadError().isEmpty());
    QVERIFY_THROWS_EXCEPTION(PreviewError, missing.Init(0));
}

void TestPreviewPlayer::marks()
{
    FakeHost host;
    auto player = readyPlayer(host);
    QVERIFY(player);
    m_standIn->remember(33, 125);
    host.sliderPos = 12;
    QVERIFY(!player->TakeMark().has_value()); // ready
    QVERIFY(m_standIn->log().isEmpty());

    bringTo(*player, host, PreviewState::Playing);
    m_standIn->remember(33, 125);
    QCOMPARE(player->TakeMark().value_or(-99), 33);

    bringTo(*player, host, PreviewState::Paused);
    m_standIn->remember(33, 125);
    host.sliderPos = 12; // moved and released while paused
    QCOMPARE(player->TakeMark().value_or(-99), 12);
    QVERIFY(m_standIn->log().isEmpty());

    bringTo(*player, host, PreviewState::Stopped);
    QVERIFY(!player->TakeMark().has_value());

    bringTo(*player, host, PreviewState::Playing);
    m_standIn->remember(-1, -1);
    QVERIFY(!player->TakeMark().has_value()); // the player has no position
}

void TestPreviewPlayer::applyTrimRange_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("result");
    QTest::addColumn<TrimRangeValues>("stored");

    const TrimRangeValues previous{3, 4, 1};
    QTest::newRow("plain") << 5 << 20 << 60 << 15 << TrimRangeValues{5, 20, 15};
    QTest::newRow("reversed") << 10 << 5 << 60 << 5 << TrimRangeValues{5, 10, 5};
    QTest::newRow("stop 0: to the end") << 10 << 0 << 60 << -10 << TrimRangeValues{10, 0, -10};
    QTest::newRow("stop beyond the end") << 10 << 61 << 60 << 60 << TrimRangeValues{0, 60, 60};
    QTest::newRow("start beyond the end") << 70 << 20 << 60 << 60 << TrimRangeValues{0, 60, 60};
    QTest::newRow("stop at the end") << 0 << 60 << 60 << 60 << TrimRangeValues{0, 60, 60};
    QTest::newRow("start equals stop") << 7 << 7 << 60 << 0 << previous;
    QTest::newRow("both zero") << 0 << 0 << 60 << 0 << previous;
    QTest::newRow("length not known") << 5 << 9 << 0 << 0 << previous;
    QTest::newRow("long file") << 90000 << 360000 << 360000 << 270000 << TrimRangeValues{90000, 360000, 270000};
}

void TestPreviewPlayer::applyTrimRange()
{
    QFETCH(int, start);
    QFETCH(int, stop);
    QFETCH(int, duration);
    QFETCH(int, result);
    QFETCH(TrimRangeValues, stored);

    TrimRangeValues range{3, 4, 1};
    QCOMPARE(ApplyTrimRange(start, stop, duration, &range), result);
    QCOMPARE(range.trimStart, stored.trimStart);
    QCOMPARE(range.trimStop, stored.trimStop);
    QCOMPARE(range.trimLength, stored.trimLength);

    // On a task record, through the same rules.
    struct Record
    {
        int trimStart = 3, trimStop = 4, trimLength = 1, durationSec = 0;
    } record;
    record.durationSec = duration;
    QCOMPARE(ApplyTrimRangeToTask(start, stop, &record), result);
    QCOMPARE((TrimRangeValues{record.trimStart, record.trimStop, record.trimLength}), stored);
    QCOMPARE(record.durationSec, duration);
}

void TestPreviewPlayer::applyTrimRangeWithoutTask()
{
    QCOMPARE(ApplyTrimRange(5, 10, 60, nullptr), -1);
    struct Record
    {
        int trimStart, trimStop, trimLength, durationSec;
    };
    QCOMPARE(ApplyTrimRangeToTask<Record>(5, 10, nullptr), -1);
}

void TestPreviewPlayer::showTrimRange_data()
{
    QTest::addColumn<TrimRangeValues>("range");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("start"); // -1: unchanged
    QTest::addColumn<int>("stop");

    QTest::newRow("nothing stored") << TrimRangeValues{} << 60 << 0 << 60;
    QTest::newRow("stored range") << TrimRangeValues{5, 20, 15} << 60 << 5 << 20;
    QTest::newRow("start only") << TrimRangeValues{10, 0, -10} << 60 << 10 << 60;
    QTest::newRow("not probed") << TrimRangeValues{} << 0 << 0 << 0;
    QTest::newRow("negative fields") << TrimRangeValues{-1, -1, 0} << 60 << -1 << -1;
}

void TestPreviewPlayer::showTrimRange()
{
    QFETCH(TrimRangeValues, range);
    QFETCH(int, duration);
    QFETCH(int, start);
    QFETCH(int, stop);
    const TrimRangeDisplay shown = ShowTrimRange(range, duration);
    QCOMPARE(shown.start.has_value(), start >= 0);
    QCOMPARE(shown.start.value_or(-1), start);
    QCOMPARE(shown.stop.has_value(), stop >= 0);
    QCOMPARE(shown.stop.value_or(-1), stop);
}

void TestPreviewPlayer::trimRangeAcrossTasks()
{
    // Two tasks; the controls are what the window shows.
    TrimRangeValues first, second;
    const int firstLength = 60, secondLength = 300;
    int startControl = 0, stopControl = 0;
    auto show = [&](const TrimRangeValues &range, int duration) {
        const TrimRangeDisplay d = ShowTrimRange(range, duration);
        if (d.start)
            startControl = *d.start;
        if (d.stop)
            stopControl = *d.stop;
    };

    show(first, firstLength);
    QCOMPARE(stopControl, 60);
    // Set Start at 20 stores 20..60 because the stop control shows the full length.
    startControl = 20;
    QCOMPARE(ApplyTrimRange(startControl, stopControl, firstLength, &first), 40);
    QCOMPARE(first, (TrimRangeValues{20, 60, 40}));

    show(second, secondLength);
    QCOMPARE(startControl, 0);
    QCOMPARE(stopControl, 300);

    show(first, firstLength);
    QCOMPARE(startControl, 20);
    QCOMPARE(stopControl, 60);

    // A reversed pair is stored sorted while the controls keep what was entered.
    startControl = 50;
    stopControl = 30;
    QCOMPARE(ApplyTrimRange(startControl, stopControl, firstLength, &first), 20);
    QCOMPARE(first, (TrimRangeValues{30, 50, 20}));
    QCOMPARE(startControl, 50);
    QCOMPARE(stopControl, 30);
}

QTEST_GUILESS_MAIN(TestPreviewPlayer)
#include "test_previewplayer.moc"
