#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
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

namespace {
struct Choice
{
    const char *key;
    QString initial; // as written in the file; "": not there
    QString shown;   // the control as it opens: the priority, the box on or off, the item's text
    int change;      // the button or box clicked, or the item chosen; -1: none
    bool confirmed;
    QString stored;
    int inEffect; // what the settings give afterwards; -1: not looked at
};
} // namespace

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

    // Priority, Keep the date and conversions at once: how each opens, and what Ok or Cancel
    // leaves in the file and in the settings.
    void choices_data()
    {
        QTest::addColumn<Choice>("choice");
        using D = COptionsDialog;
        auto row = [](const char *tag, const Choice &c) { QTest::newRow(tag) << c; };
        // Written in a form of its own: storing the value again would write "1".
        row("high kept untouched", {"PROCSEE_LEVEL", "01", "high", -1, true, "01", 1});
        row("other values show normal", {"PROCSEE_LEVEL", "7", "normal", -1, true, "7", 7});
        row("idle", {"PROCSEE_LEVEL", "0", "normal", D::kIdleId, true, "3", 3});
        row("idle cancelled", {"PROCSEE_LEVEL", "0", "normal", D::kIdleId, false, "0", 0});
        row("date off by default, turned on", {"KEEPDATE", "", "off", D::kKeepDateId, true, "1", 1});
        row("date turned off", {"KEEPDATE", "1", "on", D::kKeepDateId, true, "0", 0});
        row("date turned on, cancelled", {"KEEPDATE", "0", "off", D::kKeepDateId, false, "0", 0});
        row("jobs shipped: automatic", {"JOBS", "", "Automatic", -1, true, "0", 0});
        row("two jobs chosen", {"JOBS", "0", "Automatic", 2, true, "2", 2});
        row("two jobs cancelled", {"JOBS", "0", "Automatic", 2, false, "0", 0});
        row("jobs back to automatic", {"JOBS", "3", "3", 0, true, "0", 0});
        row("beyond eight jobs is automatic", {"JOBS", "12", "Automatic", -1, true, "12", -1});
    }
    void choices()
    {
        QFETCH(Choice, choice);
        const auto &[key, initial, shown, change, confirmed, storedValue, inEffect] = choice;
        const QString name = QString::fromLatin1(key);
        start(initial.isEmpty() ? MainWindowFixture::Settings{} : MainWindowFixture::Settings{{name, initial}});
        const QByteArray before = settingsBytes();
        const QString was = stored(key);
        auto *jobs = FindControl<QComboBox>(m_dialog.get(), COptionsDialog::kJobsId);
        auto on = [&](int id) { return FindControl<QAbstractButton>(m_dialog.get(), id)->isChecked(); };
        const QString priority = on(COptionsDialog::kHighId)     ? "high"
                                 : on(COptionsDialog::kNormalId) ? "normal"
                                 : on(COptionsDialog::kIdleId)   ? "idle" : "none";
        const QString opened = name == "JOBS"       ? jobs->currentText()
                               : name == "KEEPDATE" ? QString(on(COptionsDialog::kKeepDateId) ? "on" : "off")
                                                    : priority;
        QCOMPARE(opened, shown);
        if (change >= 0 && name == "JOBS")
            jobs->setCurrentIndex(change);
        else if (change >= 0)
            click(change);
        QCOMPARE(stored(key), was); // a change stores nothing yet
        click(confirmed ? COptionsDialog::kOkId : COptionsDialog::kCancelId);
        QCOMPARE(stored(key), storedValue);
        const AppSettings &settings = m_fx->App().Settings();
        if (inEffect >= 0)
            QCOMPARE(name == "JOBS" ? settings.GetJobs() : name == "KEEPDATE" ? int(settings.IsDateKept()) : settings.GetPriorityLevel(),
                     inEffect);
        if (storedValue == initial)
            QCOMPARE(settingsBytes(), before); // nothing written at all
    }

    void okWithoutChangesRewritesNothing()
    {
        // Quoted in the file: storing the same path again would write it without the quotes.
        start({{"OLDASSOCIATIONREG", ".avi.mkv"}, {"SavedPath", "\"%out\""}});
        const QByteArray before = settingsBytes();
        m_fx->Window()->OnCommand(Ids::Options); // the menu's command opens it as well, and Cancel writes nothing
        QCOMPARE(m_fx->Prompts().dialogTitles, QStringList{GetLangString("@99")});
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
