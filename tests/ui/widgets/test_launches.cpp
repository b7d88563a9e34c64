#include <QDBusConnection>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include "ui/dialogs/AboutDialog.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/Launcher.h"
#include "ui/widgets/CLinkLabel.h"
#include "support/RecordingLauncher.h"
#include "ui/widgets/ControlId.h"

using TestSupport::RecordingLauncherGuard;

// Stands in for the desktop's notification service on a private session bus.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;
    QStringList progress;
public slots:
    void Update(const QString &app, const QVariantMap &properties)
    {
        progress << QStringLiteral("%1 %2 %3").arg(app, properties.value("progress").toString(),
                                                   properties.value("progress-visible").toString());
    }
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        received << QStringList{app, QString::number(replaces), icon, summary, body, QString::number(actions.size()),
                                hints.value("desktop-entry").toString(), QString::number(timeout)}
                        .join(u'|');
        return uint(received.size());
    }
};

// The link's underline setting, the button, where it is released, what the desktop answers
// and whether it was asked to open the link.
struct LinkClick { int underline; Qt::MouseButton button; bool releaseInside, opens, asked; };

// What the program hands to the desktop, the link label, and the About box that holds one.
class TestLaunches : public QObject
{
    Q_OBJECT

private slots:
    void helpAndFeedback()
    {
        // Folder names go in as they are: no escaping, no "%1" filled in.
        for (const QString &folder : {QStringLiteral("/opt/P/"), QStringLiteral("/home/Zoë/my $ apps/视频/"), QStringLiteral("/x/%1%2/")}) {
            QCOMPARE(HelpPathsFor(folder).topicPath, folder + "corvane-studio.chm::/corvane-studio/02-geting-help.html");
            QCOMPARE(HelpPathsFor(folder).pagePath, folder + "help/corvane-studio/02-geting-help.html");
        }
        QVERIFY(FeedbackLink().startsWith(QStringLiteral("mailto:")) && !FeedbackLink().contains(u'?'));
    }

    void notificationOnTheSessionBus()
    {
        // Without a bus nothing is sent and nothing fails.
        QVERIFY(!SendDesktopNotification(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"), "s", "b", "id"));
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess bus;
        bus.start(daemon, {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForStarted() && bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        {
            QDBusConnection serviceSide = QDBusConnection::connectToBus(address, "service");
            NotificationService service;
            QVERIFY(serviceSide.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
            QVERIFY(serviceSide.registerService("org.freedesktop.Notifications"));
            QCoreApplication::setApplicationName("corvane-studio");
            QVERIFY(SendDesktopNotification(QDBusConnection::connectToBus(address, "program"), "Conversion finished",
                                            "2 converted, 1 not converted", "org.corvanestudio.CorvaneStudio"));
            QTRY_COMPARE(service.received,
                         QStringList{"corvane-studio|0|org.corvanestudio.CorvaneStudio|Conversion finished|"
                                     "2 converted, 1 not converted|0|org.corvanestudio.CorvaneStudio|-1"});
            // The taskbar entry's progress is a signal anyone on the bus may follow.
            QVERIFY(serviceSide.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", &service,
                                        SLOT(Update(QString, QVariantMap))));
            QDBusConnection program = QDBusConnection::connectToBus(address, "program");
            for (int percent : {0, 42, 100, -1})
                QVERIFY(SendLauncherProgress(program, "org.corvanestudio.CorvaneStudio", percent));
            const QString app = "application://org.corvanestudio.CorvaneStudio.desktop";
            QTRY_COMPARE(service.progress, (QStringList{app + " 0 true", app + " 0.42 true", app + " 1 true",
                                                        app + " 0 false"}));
        }
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("program");
        bus.kill();
        bus.waitForFinished();
    }

    void fileManagerUris_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("uri");
        QTest::newRow("blank") << "/tmp/my out/a b.mp4" << "file:///tmp/my%20out/a%20b.mp4";
        QTest::newRow("non-Latin") << QStringLiteral("/tmp/é/視頻.mp4") << "file:///tmp/%C3%A9/%E8%A6%96%E9%A0%BB.mp4";
        QTest::newRow("percent and hash") << "/tmp/100%/#1.mp4" << "file:///tmp/100%25/%231.mp4";
        QTest::newRow("dollar and quotes") << "/tmp/$HOME \"q\"/a'b.mp4" << "file:///tmp/$HOME%20%22q%22/a'b.mp4";
    }
    void fileManagerUris()
    {
        QFETCH(QString, path);
        QFETCH(QString, uri);
        QCOMPARE(FileManagerItemUris({path}), QStringList{uri});
        QCOMPARE(QUrl(uri).toLocalFile(), path); // what a file manager decodes is the path itself
    }

    void aboutBox()
    {
        AboutDialog dialog;
        QVERIFY(!FindControl<QLabel>(&dialog, Ids::AboutIcon)->pixmap().isNull());
        QCOMPARE(dialog.Link()->toolTip(), dialog.Link()->GetAddress());
        QCOMPARE(CLinkLabel(QString(), QStringLiteral("https://a.example/")).text(), QStringLiteral("https://a.example/"));
        FindControl<QPushButton>(&dialog, Ids::IdOk)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // Hover, click and leaving again on the About box's link.
    void aboutLink_data()
    {
        QTest::addColumn<LinkClick>("click");
        auto row = [](const char *tag, const LinkClick &c) { QTest::newRow(tag) << c; };
        row("click, underline while over", {-1, Qt::LeftButton, true, true, true});
        row("open failed, never underlined", {0, Qt::LeftButton, true, false, true});
        row("released outside, always underlined", {1, Qt::LeftButton, false, true, false});
        row("right button", {-1, Qt::RightButton, true, true, false});
    }
    void aboutLink()
    {
        QFETCH(LinkClick, click);
        const auto &[underline, button, releaseInside, opens, asked] = click;
        RecordingLauncherGuard launcher;
        launcher->openAnswers = {opens};
        AboutDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        CLinkLabel *link = dialog.Link();
        link->SetUnderline(underline);
        QCOMPARE(link->IsUnderlined(), underline == 1);
        QTest::mouseMove(link, link->rect().center());
        QTRY_VERIFY(link->IsOver());
        QTest::qWait(3 * CLinkLabel::kHoverTimerMs); // the timer keeps it while the mouse stays
        QVERIFY(link->IsOver());
        QCOMPARE(link->CurrentColor(), link->HoverColor());
        QCOMPARE(link->IsUnderlined(), underline != 0);

        QSignalSpy opened(link, &CLinkLabel::linkOpened);
        QTest::mousePress(link, button, {}, link->rect().center());
        QTest::mouseRelease(link, button, {}, releaseInside ? link->rect().center() : QPoint(-20, -20));
        QCOMPARE(launcher->openedUrls, asked ? QList<QUrl>{QUrl(AboutDialog::MakerAddress())} : QList<QUrl>{});
        QCOMPARE(link->IsVisited(), asked && opens);
        QCOMPARE(opened.size(), asked ? 1 : 0);
        // The label gets no event once the mouse is elsewhere: its timer notices.
        QTest::mouseMove(&dialog, QPoint(2, dialog.height() - 2));
        QTRY_VERIFY(!link->IsOver());
        QCOMPARE(link->CurrentColor(), asked && opens ? link->VisitedColor() : link->LinkColor());
        QCOMPARE(link->IsUnderlined(), underline == 1);
    }
};

QTEST_MAIN(TestLaunches)
#include "test_launches.moc"
