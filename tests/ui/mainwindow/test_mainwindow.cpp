#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/mainwindow/MainWindowControls.h"
#include "ui/mainwindow/MenuResources.h"
#include "ui/mainwindow/PreviewArea.h"
#include "ui/widgets/CListCtrlEx.h"
#include "base/IniFile.h"
#include "core/settings/AppFolders.h"
#include "core/tasks/QueueState.h"
#include "support/ScriptedPrompter.h"
#include "support/TestSupport.h"
#include "ui/widgets/ControlId.h"
#include "ui/widgets/ImageButton.h"
#include "ui/widgets/StatusBar.h"
#include "support/MainWindowFixture.h"

using namespace TestSupport;

namespace {
QString langText(const ProgramFolder &folder, const QString &file, const QString &id)
{
    return IniFile::ReadString(folder.file("Lang/" + file), "LANG", id).trimmed();
}
QString stored(const ProgramFolder &folder, const char *key)
{
    return IniFile::ReadString(folder.settingsPath(), "SYSTEM", QString::fromLatin1(key));
}
// What the user clicks or types into, as against labels, strips and frames.
bool TakesInput(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractItemView *>(w) ||
           qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const PreviewArea *>(w);
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStartIsEnglishUntilClosedOnceAndTexts()
    {
        MainWindowFixture fx(MainWindowFixture::Settings{{"INIMODE", "0"}, {"DefauitLan", "German.ini"}});
        const ProgramFolder &folder = fx.Folder();
        CCorvaneStudioDlg *dlg = fx.Window();
        // The View menu's marks are worked out as the language menu drops down.
        auto checkedLanguages = [&] {
            emit dlg->Controls().menuBar->actions().at(2)->menu()->actions().at(2)->menu()->aboutToShow();
            QList<int> checked;
            for (int id = Ids::LangEnglish; id <= Ids::LangSpanish; ++id)
                if (FindCommandAction(dlg->Controls().menuBar->actions(), id)->isChecked())
                    checked << id;
            return checked;
        };
        // Never closed normally: English, whatever DefauitLan said, and DefauitLan rewritten.
        QCOMPARE(stored(folder, "DefauitLan"), stored(folder, "LANGENG"));
        QCOMPARE(dlg->Controls().statusBar->PaneText(1), langText(folder, "English.ini", "@106"));
        QCOMPARE(FindControl<ImageButton>(dlg, Ids::ConvertAll)->Caption(), langText(folder, "English.ini", "@34"));
        QCOMPARE(checkedLanguages(), QList<int>{Ids::LangEnglish});
        // Headers come from the language; column 7 is hidden, the time column follows it.
        CListCtrlEx *list = fx.List();
        QCOMPARE(list->columnCount(), 9);
        QVERIFY(list->isColumnHidden(7) && !list->isColumnHidden(8));
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), langText(folder, "English.ini", "@13"));
        QCOMPARE(list->model()->headerData(8, Qt::Horizontal).toString(), langText(folder, "English.ini", "@172"));
        QCOMPARE(dlg->Controls().statusBar->PaneText(2), langText(folder, "English.ini", "@117"));
        QCOMPARE(dlg->Controls().statusBar->PaneText(3), langText(folder, "English.ini", "@118"));
        dlg->resize(500, 400); // smaller than the least size is not possible
        QCOMPARE(dlg->size(), QSize(740, 600));

        // The user picks German from the View menu: it applies at once and is stored.
        dlg->OnCommand(Ids::LangGerman);
        QCOMPARE(stored(folder, "DefauitLan"), QStringLiteral("German.ini"));
        QCOMPARE(FindControl<ImageButton>(dlg, Ids::ConvertAll)->Caption(), langText(folder, "German.ini", "@34"));
        QCOMPARE(dlg->Controls().menuBar->actions().at(0)->text(), langText(folder, "German.ini", "@119"));
        QCOMPARE(checkedLanguages(), QList<int>{Ids::LangGerman});
        QCOMPARE(stored(folder, "INIMODE"), QStringLiteral("0"));
        // Escape does not close the window; a normal close marks the language as kept.
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        QCOMPARE(stored(folder, "INIMODE"), QStringLiteral("0"));
        QVERIFY(dlg->close());
        QCOMPARE(stored(folder, "INIMODE"), QStringLiteral("1"));
        fx.Restart();
        QCOMPARE(fx.Window()->Controls().statusBar->PaneText(1), langText(folder, "German.ini", "@106"));
    }

    // Whatever the size, every control lies inside the window and none covers another;
    // without the preview the list takes the whole width. View Preview switches and stores it.
    void layout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("hidden");
        for (QSize size : {QSize(800, 640), QSize(1201, 901)})
            for (bool hidden : {false, true})
                QTest::addRow("%dx%d preview %s", size.width(), size.height(), hidden ? "hidden" : "shown") << size << hidden;
    }
    void layout()
    {
        QFETCH(QSize, size);
        QFETCH(bool, hidden);
        MainWindowFixture fx(MainWindowFixture::Settings{{"HIDEPREW", hidden ? "1" : "0"}});
        CCorvaneStudioDlg *dlg = fx.Window();
        dlg->resize(size);
        QCOMPARE(dlg->size(), size);
        for (bool previewHidden : {hidden, !hidden}) {
            QList<QWidget *> inputs;
            for (QWidget *w : dlg->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!ControlIdOf(w) || !w->isVisible())
                    continue;
                QVERIFY2(dlg->rect().contains(w->geometry()), qPrintable(QString::number(ControlIdOf(w))));
                for (const QWidget *other : std::as_const(inputs))
                    QVERIFY2(!TakesInput(w) || !w->geometry().intersects(other->geometry()),
                             qPrintable(QStringLiteral("%1 covers %2").arg(ControlIdOf(w)).arg(ControlIdOf(other))));
                if (TakesInput(w))
                    inputs << w;
            }
            const QRect list = fx.List()->geometry();
            QWidget *preview = FindControl<QWidget>(dlg, Ids::PreviewArea);
            QCOMPARE(preview->isVisible(), !previewHidden);
            QCOMPARE(FindControl<QWidget>(dlg, Ids::PositionSlider)->isVisible(), !previewHidden);
            QVERIFY(previewHidden ? list.width() >= size.width() - 10 : list.width() < size.width() / 2);
            QVERIFY(list.height() > size.height() / 2);
            dlg->OnCommand(Ids::ViewPreview);
            QCOMPARE(stored(fx.Folder(), "HIDEPREW"), previewHidden ? "0" : "1");
        }
    }

    // Hardware profiles the machine cannot use are greyed out, with the engine's reason;
    // made to fail here on any machine.
    void unusableHardwareProfilesGreyedOut()
    {
        MainWindowFixture fx;
        for (const auto &[file, from, to] : {std::tuple{"mp4_h264_vaapi.ini", "SValue=/dev/dri/renderD128", "SValue=/nonexistent"},
                                             std::tuple{"mp4_h264_nvenc.ini", "SValue=vbr", "SValue=no-such-mode"}}) {
            const QString path = fx.Folder().file(QStringLiteral("profiles/") + file);
            const QByteArray text = ReadFile(path).replace(from, to);
            QVERIFY(text.contains(to) && WriteFile(path, text));
        }
        fx.Restart(); // the trial runs wait until the window is on screen
        QComboBox *combo = fx.Window()->Controls().profileCombo;
        auto *model = qobject_cast<QStandardItemModel *>(combo->model());
        auto enabled = [&](const char *name) { return model->item(combo->findText(name))->isEnabled(); };
        QTRY_VERIFY_WITH_TIMEOUT(!enabled("MP4 H.264 (VAAPI hardware)") && !enabled("MP4 H.264 (NVIDIA NVENC)"), 30000);
        const QString why = combo->itemData(combo->findText("MP4 H.264 (VAAPI hardware)"), Qt::ToolTipRole).toString();
        QVERIFY2(why.startsWith("Not available on this computer: ") && why.contains("/nonexistent"), qPrintable(why));
        QVERIFY(enabled("MP4 H.264 (fast, constant quality)"));
    }

    // The list of the last session comes back on request, and only when work remains in it.
    void keptListOfferedWithWorkLeft_data()
    {
        QTest::addColumn<QStringList>("verdicts"); // "": never converted
        QTest::addColumn<bool>("asked");
        QTest::newRow("all completed") << QStringList{"completed", "completed", "completed"} << false;
        QTest::newRow("one failed") << QStringList{"completed", "failed", "completed"} << true;
        QTest::newRow("one still to do") << QStringList{"completed", ""} << true;
    }
    void keptListOfferedWithWorkLeft()
    {
        QFETCH(QStringList, verdicts);
        QFETCH(bool, asked);
        ProgramFolder folder;
        QJsonArray rows;
        for (int i = 0; i < verdicts.size(); ++i)
            rows.append(QJsonObject{{"source", Touch(folder.file(QStringLiteral("clip %1.avi").arg(i)))}, {"verdict", verdicts[i]}});
        const QString state = QueueStatePath(AppFolders::ForProgram(folder.exePath()));
        QVERIFY(WriteFile(state, QJsonDocument(QJsonObject{{"format", 1}, {"tasks", rows}}).toJson()));

        TestSupport::ScriptedPrompterGuard prompts; // answers OK
        CCorvaneStudioApp app;
        app.InitInstance(folder.exePath(), {});
        app.MainWindow()->KeepQueue(QueueStatePath(app.Settings().Folders())); // as the start does, before the window runs
        QCOMPARE(prompts->messages.size(), asked ? 1 : 0);
        QCOMPARE(app.MainWindow()->Tasks().Count(), asked ? verdicts.size() : 0);
        QCOMPARE(QFileInfo::exists(state), asked); // a list of nothing to do is gone
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
