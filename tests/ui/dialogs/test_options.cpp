#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioApp.h"
#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/ControlIds.h"
#include "base/IniFile.h"
#include "core/settings/Language.h"
#include "ui/dialogs/COptionsDialog.h"
#include "core/settings/OptionsRules.h"
#include "support/MainWindowFixture.h"
#include "ui/widgets/ControlId.h"

using namespace TestSupport;

class TestOptions : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindowFixture> m_fx;
    std::unique_ptr<COptionsDialog> m_dialog;
    QTemporaryDir m_outputs;
    QString m_out;

    // The program started with these SYSTEM values ("%out": the saved path), and the dialog open over it.
    void start(MainWindowFixture::Settings system = {})
    {
        m_out = m_outputs.filePath(QStringLiteral("out dir $ ä ") + QTest::currentTestFunction());
        QDir().mkpath(m_out);
        for (auto &entry : system)
            entry.second.replace("%out", m_out);
        m_fx = std::make_unique<MainWindowFixture>(MainWindowFixture::Settings{{"SavedPath", m_out}} + system);
        m_dialog = std::make_unique<COptionsDialog>(m_fx->App().Settings());
        m_fx->Window()->hide(); // alone on screen, the dialog gets the keyboard focus
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }
    QByteArray settingsBytes()
    {
        QFile f(m_fx->Folder().settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString stored(const char *key)
    {
        IniFile::Forget(m_fx->Folder().settingsPath());
        return IniFile::ReadString(m_fx->Folder().settingsPath(), "SYSTEM", QString::fromLatin1(key));
    }
    QLineEdit *pathEdit() { return FindControl<QLineEdit>(m_dialog.get(), COptionsDialog::kSavePathId); }
    void click(int id) { FindControl<QAbstractButton>(m_dialog.get(), id)->click(); }
    // Types a path into the box and moves the focus away, as a user leaving it.
    void typeAndLeave(const QString &path)
    {
        pathEdit()->setFocus();
        QTRY_VERIFY(pathEdit()->hasFocus());
        pathEdit()->setText(path);
        FindControl<QWidget>(m_dialog.get(), COptionsDialog::kCancelId)->setFocus();
    }
    QStringList checkedRows()
    {
        QStringList rows;
        for (const QListWidgetItem *item : m_dialog->AssociationList()->findItems(QStringLiteral("*"), Qt::MatchWildcard))
            if (item->checkState() == Qt::Checked)
                rows << item->text();
        return rows;
    }

private slots:
    void cleanup() { m_dialog.reset(); m_fx.reset(); }

    void commandOpensTheDialog()
    {
        start();
        m_fx->Window()->OnCommand(Ids::Options);
        QCOMPARE(m_fx->Prompts().dialogTitles, QStringList{GetLangString("@99")});
    }

    void priority_data()
    {
        QTest::addColumn<QString>("initial"); // as written in the file
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("clicked"); // 0: none
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("storedLevel");
        // Written in a form of its own: storing the value again would write "1".
        QTest::newRow("high kept untouched") << "01" << int(COptionsDialog::kHighId) << 0 << true << "01";
        QTest::newRow("other values show normal") << "7" << int(COptionsDialog::kNormalId) << 0 << true << "7";
        QTest::newRow("idle") << "0" << int(COptionsDialog::kNormalId) << int(COptionsDialog::kIdleId) << true << "3";
        QTest::newRow("idle cancelled") << "0" << int(COptionsDialog::kNormalId) << int(COptionsDialog::kIdleId) << false << "0";
    }
    void priority()
    {
        QFETCH(QString, initial);
        QFETCH(int, shown);
        QFETCH(int, clicked);
        QFETCH(bool, confirmed);
        QFETCH(QString, storedLevel);
        start({{"PROCSEE_LEVEL", initial}});
        const QByteArray before = settingsBytes();
        QVERIFY(FindControl<QRadioButton>(m_dialog.get(), shown)->isChecked());
        if (clicked)
            click(clicked);
        QCOMPARE(stored("PROCSEE_LEVEL"), initial); // a click stores nothing yet
        click(confirmed ? COptionsDialog::kOkId : COptionsDialog::kCancelId);
        QCOMPARE(stored("PROCSEE_LEVEL"), storedLevel);
        QCOMPARE(m_fx->App().Settings().GetPriorityLevel(), storedLevel.toInt());
        if (storedLevel == initial)
            QCOMPARE(settingsBytes(), before); // nothing written at all
    }

    void keepDate_data()
    {
        QTest::addColumn<QString>("initial"); // "": not in the file
        QTest::addColumn<bool>("toggled");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("off by default, turned on") << "" << true << true << "1";
        QTest::newRow("turned off") << "1" << true << true << "0";
        QTest::newRow("turned on, cancelled") << "0" << true << false << "0";
    }
    void keepDate()
    {
        QFETCH(QString, initial);
        QFETCH(bool, toggled);
        QFETCH(bool, confirmed);
        QFETCH(QString, expected);
        start(initial.isEmpty() ? MainWindowFixture::Settings{} : MainWindowFixture::Settings{{"KEEPDATE", initial}});
        auto *box = FindControl<QAbstractButton>(m_dialog.get(), COptionsDialog::kKeepDateId);
        QCOMPARE(box->isChecked(), initial == "1");
        QCOMPARE(box->text(), GetLangString("@190"));
        if (toggled)
            box->click();
        click(confirmed ? COptionsDialog::kOkId : COptionsDialog::kCancelId);
        QCOMPARE(stored("KEEPDATE"), expected);
        QCOMPARE(m_fx->App().Settings().IsDateKept(), expected == "1");
    }

    void conversionsAtOnce_data()
    {
        QTest::addColumn<QString>("initial"); // JOBS as written in the file
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("chosen"); // item index; -1: none
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("storedJobs");
        QTest::newRow("shipped: automatic") << "" << "Automatic" << -1 << true << "0";
        QTest::newRow("two chosen") << "0" << "Automatic" << 2 << true << "2";
        QTest::newRow("two cancelled") << "0" << "Automatic" << 2 << false << "0";
        QTest::newRow("back to automatic") << "3" << "3" << 0 << true << "0";
        QTest::newRow("beyond eight is automatic") << "12" << "Automatic" << -1 << true << "12";
    }
    void conversionsAtOnce()
    {
        QFETCH(QString, initial);
        QFETCH(QString, shown);
        QFETCH(int, chosen);
        QFETCH(bool, confirmed);
        QFETCH(QString, storedJobs);
        start(initial.isEmpty() ? MainWindowFixture::Settings{} : MainWindowFixture::Settings{{"JOBS", initial}});
        auto *jobs = FindControl<QComboBox>(m_dialog.get(), COptionsDialog::kJobsId);
        QCOMPARE(jobs->count(), 9);
        QCOMPARE(jobs->currentText(), shown);
        if (chosen >= 0)
            jobs->setCurrentIndex(chosen);
        click(confirmed ? COptionsDialog::kOkId : COptionsDialog::kCancelId);
        QCOMPARE(stored("JOBS"), storedJobs);
        if (confirmed && chosen >= 0)
            QCOMPARE(m_fx->App().Settings().GetJobs(), chosen);
    }

    void okWithoutChangesRewritesNothing()
    {
        // Quoted in the file: storing the same path again would write it without the quotes.
        start({{"OLDASSOCIATIONREG", ".avi.mkv"}, {"SavedPath", "\"%out\""}});
        const QByteArray before = settingsBytes();
        QCOMPARE(checkedRows(), (QStringList{"*.avi", "*.mkv"}));
        click(COptionsDialog::kSelectAllId);
        QCOMPARE(checkedRows(), AssociationPatterns());
        QCOMPARE(pathEdit()->text(), m_out);
        typeAndLeave(m_out); // the box gets the focus and loses it again
        QTRY_VERIFY(!pathEdit()->hasFocus());
        click(COptionsDialog::kOkId);
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(stored("OLDASSOCIATIONREG"), QStringLiteral(".avi.mkv"));
        QCOMPARE(settingsBytes(), before);
    }

    void savePathCheckedWhenTheBoxIsLeft()
    {
        start();
        QVERIFY(QFile(m_fx->Folder().file("plain file")).open(QIODevice::WriteOnly));
        const QString bad = m_fx->Folder().file("plain file/below");
        typeAndLeave(bad);
        QTRY_COMPARE(m_fx->Prompts().messages.size(), 2);
        QCOMPARE(m_fx->Prompts().messageTexts(),
                 (QStringList{QStringLiteral("Create  outPut file path %1 Failed!").arg(bad), GetLangString("@12")}));
        QTRY_VERIFY(pathEdit()->hasFocus());
        QCOMPARE(pathEdit()->selectedText(), bad);
        click(COptionsDialog::kOkId); // keeps the dialog open and stores nothing
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(stored("SavedPath"), m_out);
        // A usable folder is made and stored at once; Cancel does not take it back.
        typeAndLeave(m_fx->Folder().file("new//sub dir ä $x"));
        const QString made = m_fx->Folder().file("new/sub dir ä $x");
        QTRY_COMPARE(stored("SavedPath"), made);
        QVERIFY(QFileInfo(made).isDir());
        QCOMPARE(pathEdit()->text(), made);
        QCOMPARE(m_fx->Prompts().messages.size(), 2);
        click(COptionsDialog::kCancelId);
        QCOMPARE(stored("SavedPath"), made);
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
