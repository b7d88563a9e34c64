#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "app/AboutDialog.h"
#include "app/ControlIds.h"
#include "app/Launcher.h"
#include "controls/CLinkLabel.h"
#include "support/RecordingLauncher.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"

using TestSupport::RecordingLauncherGuard;

namespace {
// A shown window with a link label and room around it for the mouse to leave to.
struct LinkWindow
{
    QWidget window;
    CLinkLabel *link;

    explicit LinkWindow(const QString &text = QStringLiteral("https://corvane-studio.example/"),
                        const QString &address = QString())
    {
        link = new CLinkLabel(text, address, &window);
        link->move(40, 40);
        window.resize(400, 200);
        window.show();
    }
    QPoint inside() const { return link->rect().center(); }
    QPoint outside() const { return QPoint(5, 150); }
};
} // namespace

class TestLaunches : public QObject
{
    Q_OBJECT

private slots:
    // ---- paths and addresses --------------------------------------------------------

    void helpPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("page");
        QTest::newRow("plain") << "/opt/P/" << "/opt/P/corvane-studio.chm::/corvane-studio/02-geting-help.html"
                               << "/opt/P/help/corvane-studio/02-geting-help.html";
        QTest::newRow("blanks, dollar, non-Latin")
            << QStringLiteral("/home/Zoë/my $ apps/视频/")
            << QStringLiteral("/home/Zoë/my $ apps/视频/corvane-studio.chm::/corvane-studio/02-geting-help.html")
            << QStringLiteral("/home/Zoë/my $ apps/视频/help/corvane-studio/02-geting-help.html");
        QTest::newRow("percent signs stay") << "/x/%1%2/" << "/x/%1%2/corvane-studio.chm::/corvane-studio/02-geting-help.html"
                                            << "/x/%1%2/help/corvane-studio/02-geting-help.html";
    }

    void helpPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, topic);
        QFETCH(QString, page);
        const HelpPaths paths = HelpPathsFor(folder);
        QCOMPARE(paths.topicPath, topic);
        QCOMPARE(paths.pagePath, page);
    }

    void helpOpensTheShippedPage()
    {
        RecordingLauncherGuard launcher;
        const QString folder = TestSupport::BinDir() + u'/';
        QVERIFY(Launcher::Current().OpenHelp(folder));
        QCOMPARE(launcher->openedUrls.size(), 1);
        const QUrl url = launcher->openedUrls.first();
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.toLocalFile(), HelpPathsFor(folder).pagePath);
        // The page the program names is the one the build ships.
        QVERIFY2(QFileInfo::exists(url.toLocalFile()), qPrintable(url.toLocalFile()));
    }

    void feedbackIsABareMailtoLink()
    {
        const QString link = FeedbackLink();
        QCOMPARE(link.size(), 31);
        QVERIFY(link.startsWith(QStringLiteral("mailto:")));
        QVERIFY(!link.contains(u'?')); // no subject, no body

        RecordingLauncherGuard launcher;
        QVERIFY(Launcher::Current().SendFeedback());
        QCOMPARE(launcher->openedUrls.size(), 1);
        const QUrl url = launcher->openedUrls.first();
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.toString(), link);
    }

    void fileManagerUris_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("uri");
        QTest::newRow("plain") << "/tmp/out/a.mp4" << "file:///tmp/out/a.mp4";
        QTest::newRow("blank") << "/tmp/my out/a b.mp4" << "file:///tmp/my%20out/a%20b.mp4";
        QTest::newRow("non-Latin") << QStringLiteral("/tmp/é/視頻.mp4") << "file:///tmp/%C3%A9/%E8%A6%96%E9%A0%BB.mp4";
        QTest::newRow("percent and hash") << "/tmp/100%/#1.mp4" << "file:///tmp/100%25/%231.mp4";
    }

    void fileManagerUris()
    {
        QFETCH(QString, path);
        QFETCH(QString, uri);
        const QStringList uris = FileManagerItemUris({path});
        QCOMPARE(uris, QStringList{uri});
        // Whatever a file manager decodes is the path itself.
        QCOMPARE(QUrl(uris.first()).toLocalFile(), path);
    }

    void dollarAndQuotesSurviveTheUri()
    {
        const QString path = QStringLiteral("/tmp/$HOME \"q\"/a'b.mp4");
        QCOMPARE(QUrl(FileManagerItemUris({path}).first()).toLocalFile(), path);
    }

    void installedLauncherIsRestored()
    {
        {
            RecordingLauncherGuard launcher;
            QVERIFY(dynamic_cast<TestSupport::RecordingLauncher *>(&Launcher::Current()));
        }
        QVERIFY(dynamic_cast<DesktopLauncher *>(&Launcher::Current()));
    }

    // ---- the link label --------------------------------------------------------------

    void colourValues_data()
    {
        QTest::addColumn<quint32>("bgr");
        QTest::addColumn<QColor>("color");
        QTest::newRow("link") << quint32(0x00EE0000) << QColor(0, 0, 238);
        QTest::newRow("visited") << quint32(0x008B1A55) << QColor(85, 26, 139);
        QTest::newRow("hover") << quint32(0x000000FF) << QColor(255, 0, 0);
        QTest::newRow("mixed") << quint32(0x00123456) << QColor(0x56, 0x34, 0x12);
    }

    void colourValues()
    {
        QFETCH(quint32, bgr);
        QFETCH(QColor, color);
        QCOMPARE(CLinkLabel::FromColorRef(bgr), color);
    }

    void defaults()
    {
        CLinkLabel link(QStringLiteral("https://a.example/"), QString());
        QCOMPARE(link.LinkColor(), QColor(0, 0, 238));
        QCOMPARE(link.VisitedColor(), QColor(85, 26, 139));
        QCOMPARE(link.HoverColor(), QColor(255, 0, 0));
        QCOMPARE(link.CurrentColor(), QColor(0, 0, 238));
        QCOMPARE(link.GetUnderline(), int(CLinkLabel::UnderlineHover));
        QVERIFY(!link.IsUnderlined());
        QVERIFY(!link.IsVisited());
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    }

    void addressAndText()
    {
        CLinkLabel fromText(QStringLiteral("https://text.example/"), QString());
        QCOMPARE(fromText.GetAddress(), QStringLiteral("https://text.example/"));
        QCOMPARE(fromText.toolTip(), QStringLiteral("https://text.example/"));

        CLinkLabel fromAddress(QString(), QStringLiteral("https://address.example/"));
        QCOMPARE(fromAddress.text(), QStringLiteral("https://address.example/"));

        CLinkLabel both(QStringLiteral("Our site"), QStringLiteral("https://site.example/"));
        QCOMPARE(both.text(), QStringLiteral("Our site"));
        QCOMPARE(both.GetAddress(), QStringLiteral("https://site.example/"));
        QCOMPARE(both.toolTip(), QStringLiteral("https://site.example/"));
        both.SetAddress(QStringLiteral("https://other.example/"));
        QCOMPARE(both.toolTip(), QStringLiteral("https://other.example/"));
    }

    void fitsItsText()
    {
        CLinkLabel link(QStringLiteral("short"), QStringLiteral("https://a.example/"));
        QCOMPARE(link.size(), link.sizeHint());
        QCOMPARE(link.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        const int shortWidth = link.width();
        link.SetLinkText(QStringLiteral("a considerably longer link text"));
        QVERIFY(link.width() > shortWidth);
        link.SetAutoSize(false);
        QCOMPARE(link.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    }

    void hoverColourComesAndGoes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("underlinedOver");
        QTest::addColumn<bool>("underlinedAway");
        QTest::newRow("underline while over") << -1 << true << false;
        QTest::newRow("never underlined") << 0 << false << false;
        QTest::newRow("always underlined") << 1 << true << true;
    }

    void hoverColourComesAndGoes()
    {
        QFETCH(int, mode);
        QFETCH(bool, underlinedOver);
        QFETCH(bool, underlinedAway);

        LinkWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        w.link->SetUnderline(mode);
        QCOMPARE(w.link->IsUnderlined(), underlinedAway);

        QTest::mouseMove(w.link, w.inside());
        QTRY_VERIFY(w.link->IsOver());
        QCOMPARE(w.link->CurrentColor(), w.link->HoverColor());
        QCOMPARE(w.link->IsUnderlined(), underlinedOver);

        // The label gets no event once the mouse is elsewhere: its timer notices.
        QTest::mouseMove(&w.window, w.outside());
        QTRY_VERIFY(!w.link->IsOver());
        QCOMPARE(w.link->CurrentColor(), w.link->LinkColor());
        QCOMPARE(w.link->IsUnderlined(), underlinedAway);
    }

    void hoverStaysWhileTheMouseStays()
    {
        LinkWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::mouseMove(w.link, w.inside());
        QTRY_VERIFY(w.link->IsOver());
        // Several timer periods pass with the mouse still inside.
        QTest::qWait(5 * CLinkLabel::kHoverTimerMs);
        QVERIFY(w.link->IsOver());
        QCOMPARE(w.link->CurrentColor(), w.link->HoverColor());
    }

    void clickOpensTheAddressAndMarksVisited()
    {
        RecordingLauncherGuard launcher;
        LinkWindow w(QStringLiteral("Our site"), QStringLiteral("https://corvane-studio.example/"));
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QSignalSpy opened(w.link, &CLinkLabel::linkOpened);

        QTest::mouseClick(w.link, Qt::LeftButton, {}, w.inside());
        QCOMPARE(launcher->openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://corvane-studio.example/"))});
        QVERIFY(w.link->IsVisited());
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toBool(), true);

        QTest::mouseMove(&w.window, w.outside());
        QTRY_VERIFY(!w.link->IsOver());
        QCOMPARE(w.link->CurrentColor(), w.link->VisitedColor());
    }

    void failedOpenLeavesItUnvisited()
    {
        RecordingLauncherGuard launcher;
        launcher->openAnswers = {false};
        LinkWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::mouseClick(w.link, Qt::LeftButton, {}, w.inside());
        QCOMPARE(launcher->openedUrls.size(), 1);
        QCOMPARE(launcher->openedUrls.first(), QUrl(QStringLiteral("https://corvane-studio.example/")));
        QVERIFY(!w.link->IsVisited());
    }

    void pressInsideReleaseOutsideIsNoClick()
    {
        RecordingLauncherGuard launcher;
        LinkWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::mousePress(w.link, Qt::LeftButton, {}, w.inside());
        QTest::mouseRelease(w.link, Qt::LeftButton, {}, QPoint(-20, -20));
        QVERIFY(launcher->openedUrls.isEmpty());
        QVERIFY(!w.link->IsVisited());
    }

    void rightClickOpensNothing()
    {
        RecordingLauncherGuard launcher;
        LinkWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::mouseClick(w.link, Qt::RightButton, {}, w.inside());
        QVERIFY(launcher->openedUrls.isEmpty());
    }

    // ---- the About box ---------------------------------------------------------------

    void aboutBoxContents()
    {
        AboutDialog dialog;
        QCOMPARE(ControlIdOf(&dialog), Ids::AboutBox);
        auto *version = FindControl<QLabel>(&dialog, Ids::AboutVersion);
        QVERIFY(version);
        QCOMPARE(version->text(), QStringLiteral("CorvaneStudio Version 1.0"));

        auto *icon = FindControl<QLabel>(&dialog, Ids::AboutIcon);
        QVERIFY(icon);
        QVERIFY(!icon->pixmap().isNull()); // the program icon was found in the resources

        auto *link = FindControl<CLinkLabel>(&dialog, Ids::AboutLink);
        QVERIFY(link);
        QCOMPARE(link, dialog.Link());
        QCOMPARE(link->GetAddress(), AboutDialog::MakerAddress());
        QVERIFY(QUrl(link->GetAddress()).isValid());
        QCOMPARE(QUrl(link->GetAddress()).scheme(), QStringLiteral("https"));

        auto *copyright = FindControl<QLabel>(&dialog, Ids::AboutCopyright);
        QVERIFY(copyright);
        QVERIFY(copyright->text().contains(QStringLiteral("GPL-3.0-or-later")));

        // Every widget of the box carries its id.
        const QList<QWidget *> widgets = dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(widgets.size(), 5);
        for (QWidget *w : widgets)
            QVERIFY2(ControlIdOf(w) != 0, w->metaObject()->className());
    }

    void aboutBoxOkAccepts()
    {
        AboutDialog dialog;
        auto *ok = FindControl<QPushButton>(&dialog, Ids::IdOk);
        QVERIFY(ok);
        QVERIFY(ok->isDefault());
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        ok->click();
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void aboutLinkGoesThroughTheLauncher()
    {
        RecordingLauncherGuard launcher;
        AboutDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.Link(), Qt::LeftButton, {}, dialog.Link()->rect().center());
        QCOMPARE(launcher->openedUrls, QList<QUrl>{QUrl(AboutDialog::MakerAddress())});
        QVERIFY(dialog.Link()->IsVisited());
    }
};

QTEST_MAIN(TestLaunches)
#include "test_launches.moc"
