#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QStandardItemModel>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/MainWindowControls.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/mainwindow/MenuResources.h"
#include "base/IniFile.h"
#include "support/TestSupport.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/StatusBar.h"

using TestSupport::ProgramFolder;

namespace {
QString langText(const ProgramFolder &folder, const QString &file, const QString &id)
{
    return IniFile::ReadString(folder.file("Lang/" + file), "LANG", id).trimmed();
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStartIsEnglishUntilClosedOnce()
    {
        ProgramFolder folder;
        const QString ini = folder.settingsPath();
        IniFile::WriteString(ini, "SYSTEM", "INIMODE", "0");
        IniFile::WriteString(ini, "SYSTEM", "DefauitLan", "German.ini");
        {
            CCorvaneStudioApp app;
            app.InitInstance(folder.exePath(), {});
            // Never closed normally: English, whatever DefauitLan said, and DefauitLan rewritten.
            QCOMPARE(IniFile::ReadString(ini, "SYSTEM", "DefauitLan"), IniFile::ReadString(ini, "SYSTEM", "LANGENG"));
            CCorvaneStudioDlg *dlg = app.MainWindow();
            QCOMPARE(dlg->Controls().statusBar->PaneText(1), langText(folder, "English.ini", "@106"));
            QCOMPARE(FindControl<ImageButton>(dlg, Ids::ConvertAll)->Caption(), langText(folder, "English.ini", "@34"));

            // The user picks German from the View menu: it applies at once and is stored.
            dlg->OnCommand(Ids::LangGerman);
            QCOMPARE(IniFile::ReadString(ini, "SYSTEM", "DefauitLan"), QStringLiteral("German.ini"));
            QCOMPARE(FindControl<ImageButton>(dlg, Ids::ConvertAll)->Caption(), langText(folder, "German.ini", "@34"));
            QCOMPARE(dlg->Controls().menuBar->actions().at(0)->text(), langText(folder, "German.ini", "@119"));
            QCOMPARE(IniFile::ReadString(ini, "SYSTEM", "INIMODE"), QStringLiteral("0"));
            dlg->show();
            QVERIFY(dlg->close());
            QCOMPARE(IniFile::ReadString(ini, "SYSTEM", "INIMODE"), QStringLiteral("1"));
        }
        {
            // After one normal close the choice survives the next start.
            CCorvaneStudioApp app;
            app.InitInstance(folder.exePath(), {});
            QCOMPARE(app.MainWindow()->Controls().statusBar->PaneText(1), langText(folder, "German.ini", "@106"));
        }
    }

    void languageCheckMarks_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("key");
        QTest::newRow("japan") << int(Ids::LangJapan) << "LANJAPAN";
        QTest::newRow("traditional") << int(Ids::LangChineseTraditional) << "LANBIG5";
        QTest::newRow("spanish") << int(Ids::LangSpanish) << "LANSPANISH";
        QTest::newRow("english") << int(Ids::LangEnglish) << "LANGENG";
    }
    void languageCheckMarks()
    {
        QFETCH(int, command);
        QFETCH(QString, key);
        ProgramFolder folder;
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        dlg->OnCommand(command);
        QCOMPARE(IniFile::ReadString(folder.settingsPath(), "SYSTEM", "DefauitLan"),
                 IniFile::ReadString(folder.settingsPath(), "SYSTEM", key));
        // The check marks are worked out when the menu drops down.
        QMenu *view = dlg->Controls().menuBar->actions().at(2)->menu();
        QMenu *languages = view->actions().at(2)->menu();
        emit languages->aboutToShow();
        for (int id = Ids::LangEnglish; id <= Ids::LangSpanish; ++id) {
            QAction *a = FindCommandAction(dlg->Controls().menuBar->actions(), id);
            QVERIFY(a->isCheckable());
            QCOMPARE(a->isChecked(), id == command);
        }
    }

    void everyControlExists()
    {
        ProgramFolder folder;
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        const int ids[] = {Ids::TopStrip, Ids::BottomStrip, Ids::MenuBar, Ids::StatusBar, Ids::ParamGrid,
                           Ids::PreviewFrame, Ids::InfoEdit, Ids::StopTime, Ids::StartTime, Ids::ProfileCombo,
                           Ids::DetailButton, Ids::DestinationEdit, Ids::ConvertAll, Ids::TaskList,
                           Ids::ProfileLabel, Ids::DestinationLabel, Ids::ProgressBar, Ids::AddFileButton,
                           Ids::PreviewArea, Ids::UpButton, Ids::DownButton, Ids::TimeLabel, Ids::SetStart,
                           Ids::SetStop, Ids::PositionSlider, Ids::ConvertSelected, Ids::Separator1,
                           Ids::Separator2, Ids::InputLabel, Ids::PreviewStop, Ids::PreviewPlay,
                           Ids::PreviewPause, Ids::StopConvert, Ids::Delete, Ids::Property,
                           Ids::TaskInfoButton, Ids::Exit, Ids::SaveTask, Ids::Options,
                           Ids::RemoveCompleted, Ids::PauseConvert};
        for (int id : ids)
            QVERIFY2(FindControl<QWidget>(dlg, id), qPrintable(QString::number(id)));
        for (int id : {Ids::SaveTask, Ids::Options, Ids::UpButton, Ids::DownButton})
            QVERIFY(FindControl<QWidget>(dlg, id)->isHidden());
        // Every menu command of the main menu is reachable by id.
        for (int id : {Ids::AddFile, Ids::SaveTask, Ids::Options, Ids::Exit, Ids::SelectAll, Ids::Delete, Ids::Play,
                       Ids::TaskInfo, Ids::Property, Ids::ViewPreview, Ids::Contents, Ids::Feedback, Ids::About,
                       Ids::LookBlue, Ids::LookOffice2003, Ids::RemoveCompleted, Ids::PauseConvert})
            QVERIFY2(FindCommandAction(dlg->Controls().menuBar->actions(), id), qPrintable(QString::number(id)));
        // Headers come from the language; column 7 is hidden, the time column follows it.
        auto *list = FindControl<CListCtrlEx>(dlg, Ids::TaskList);
        QCOMPARE(list->columnCount(), 9);
        QVERIFY(list->isColumnHidden(7));
        QVERIFY(!list->isColumnHidden(8));
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), langText(folder, "English.ini", "@13"));
        QCOMPARE(list->model()->headerData(8, Qt::Horizontal).toString(), langText(folder, "English.ini", "@172"));
        QCOMPARE(dlg->Controls().statusBar->PaneText(2), langText(folder, "English.ini", "@117"));
        QCOMPARE(dlg->Controls().statusBar->PaneText(3), langText(folder, "English.ini", "@118"));
    }

    void layout_data()
    {
        QTest::addColumn<int>("cx");
        QTest::addColumn<int>("cy");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("800x640 preview shown") << 800 << 640 << false;
        QTest::newRow("800x640 preview hidden") << 800 << 640 << true;
        QTest::newRow("1201x901 preview shown") << 1201 << 901 << false;
        QTest::newRow("1201x901 preview hidden") << 1201 << 901 << true;
    }
    void layout()
    {
        QFETCH(int, cx);
        QFETCH(int, cy);
        QFETCH(bool, hidden);
        ProgramFolder folder;
        IniFile::WriteString(folder.settingsPath(), "SYSTEM", "HIDEPREW", hidden ? "1" : "0");
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        dlg->show();
        dlg->resize(cx, cy);
        QCOMPARE(dlg->size(), QSize(cx, cy));
        auto at = [dlg](int id) { return FindControl<QWidget>(dlg, id)->geometry(); };
        const int b = cy - 110;
        QCOMPARE(at(Ids::TopStrip), QRect(0, 0, cx, 25));
        QCOMPARE(at(Ids::MenuBar), QRect(0, 0, cx, 25));
        QCOMPARE(at(Ids::AddFileButton), QRect(15, 26, 90, 74));
        QCOMPARE(at(Ids::Exit), QRect(387, 26, 90, 74));
        QCOMPARE(at(Ids::Separator1), QRect(0, 103, cx, 2));
        QCOMPARE(at(Ids::Separator2), QRect(0, b, cx, 2));
        QCOMPARE(at(Ids::DetailButton), QRect(cx - 400, b + 11, 60, 20));
        QCOMPARE(at(Ids::DestinationEdit), QRect(90, b + 39, cx - 430, 22));
        QCOMPARE(at(Ids::ProgressBar), QRect(7, b + 69, cx - 344, 15));
        QCOMPARE(at(Ids::ConvertSelected), QRect(cx - 286, b + 11, 90, 76));
        QCOMPARE(at(Ids::StopConvert), QRect(cx - 96, b + 11, 90, 76));
        QCOMPARE(at(Ids::StatusBar), QRect(0, cy - 20, cx, 20));
        QVERIFY(FindControl<QWidget>(dlg, Ids::ParamGrid)->isHidden());
        const int h = cx / 2;
        if (hidden) {
            QCOMPARE(at(Ids::TaskList), QRect(4, 108, cx - 8, cy - 230));
            for (int id : {Ids::PreviewArea, Ids::PreviewPlay, Ids::PreviewPause, Ids::PreviewStop, Ids::SetStart,
                           Ids::StartTime, Ids::SetStop, Ids::StopTime, Ids::TimeLabel, Ids::PositionSlider})
                QVERIFY(FindControl<QWidget>(dlg, id)->isHidden());
        } else {
            QCOMPARE(at(Ids::TaskList), QRect(4, 108, h - 6, cy - 230));
            QCOMPARE(at(Ids::PreviewArea), QRect(h + 2, 108, h - 6, cy - 300));
            QCOMPARE(at(Ids::PreviewStop), QRect(h + 61, cy - 145, 25, 22));
            QCOMPARE(at(Ids::StartTime), QRect(cx - 200, cy - 145, 68, 22));
            QCOMPARE(at(Ids::StopTime), QRect(cx - 83, cy - 145, 68, 22));
            QCOMPARE(at(Ids::TimeLabel), QRect(cx - 130, cy - 185, 120, 15));
            QCOMPARE(at(Ids::PositionSlider), QRect(h + 5, cy - 174, h - 8, 25));
            QVERIFY(FindControl<QWidget>(dlg, Ids::PreviewArea)->isVisible());
            QVERIFY(FindControl<QWidget>(dlg, Ids::PreviewFrame)->isHidden());
        }
        // View Preview flips the stored switch and lays the list out again.
        dlg->OnCommand(Ids::ViewPreview);
        QCOMPARE(IniFile::ReadString(folder.settingsPath(), "SYSTEM", "HIDEPREW"), hidden ? "0" : "1");
        QCOMPARE(at(Ids::TaskList), hidden ? QRect(4, 108, h - 6, cy - 230) : QRect(4, 108, cx - 8, cy - 230));
        QCOMPARE(FindControl<QWidget>(dlg, Ids::PreviewArea)->isVisible(), hidden);
    }

    void minimumSize()
    {
        ProgramFolder folder;
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        dlg->show();
        dlg->resize(500, 400);
        QCOMPARE(dlg->size(), QSize(740, 600));
    }

    // Hardware profiles the machine cannot use are greyed out, with the engine's reason;
    // made to fail here on any machine.
    void unusableHardwareProfilesGreyedOut()
    {
        ProgramFolder folder;
        for (const auto &[file, from, to] : {std::tuple{"mp4_h264_vaapi.ini", "SValue=/dev/dri/renderD128", "SValue=/nonexistent"},
                                             std::tuple{"mp4_h264_nvenc.ini", "SValue=vbr", "SValue=no-such-mode"}}) {
            QFile profile(folder.file(QStringLiteral("profiles/") + file));
            QVERIFY(profile.open(QIODevice::ReadOnly));
            const QByteArray text = profile.readAll().replace(from, to);
            profile.close();
            QVERIFY(text.contains(to) && profile.open(QIODevice::WriteOnly | QIODevice::Truncate) && profile.write(text) > 0);
        }
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        app.MainWindow()->show(); // the trial runs wait until the window is on screen
        QComboBox *combo = app.MainWindow()->Controls().profileCombo;
        auto *model = qobject_cast<QStandardItemModel *>(combo->model());
        auto enabled = [&](const char *name) { return model->item(combo->findText(name))->isEnabled(); };
        QTRY_VERIFY_WITH_TIMEOUT(!enabled("MP4 H.264 (VAAPI hardware)") && !enabled("MP4 H.264 (NVIDIA NVENC)"), 30000);
        const QString why = combo->itemData(combo->findText("MP4 H.264 (VAAPI hardware)"), Qt::ToolTipRole).toString();
        QVERIFY2(why.startsWith("Not available on this computer: ") && why.contains("/nonexistent"), qPrintable(why));
        QVERIFY(enabled("MP4 H.264 (fast, constant quality)"));
    }

    void escapeDoesNotCloseTheWindow()
    {
        ProgramFolder folder;
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        CCorvaneStudioDlg *dlg = app.MainWindow();
        dlg->show();
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        QCOMPARE(IniFile::ReadString(folder.settingsPath(), "SYSTEM", "INIMODE"), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
