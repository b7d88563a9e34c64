#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/AppSettings.h"
#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "core/IniFile.h"
#include "lang/Language.h"
#include "options/COptionsDialog.h"
#include "options/OptionsRules.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"

using namespace TestSupport;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList checkedRows(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            rows << list->item(i)->text();
    return rows;
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<CCorvaneStudioApp> m_app;
    QString m_out;

    // The program started with these SYSTEM values in its settings file.
    void start(const QHash<QString, QString> &system, bool quotedPath = false)
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_out = m_folder->file("out dir $ ä");
        QDir().mkpath(m_out);
        IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", "SavedPath", quotedPath ? '"' + m_out + '"' : m_out);
        for (auto it = system.begin(); it != system.end(); ++it)
            IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", it.key(), it.value());
        m_app = std::make_unique<CCorvaneStudioApp>();
        m_app->InitInstance(m_folder->exePath(), {});
    }
    AppSettings &settings() { return m_app->Settings(); }
    QString stored(const char *key)
    {
        IniFile::Forget(m_folder->settingsPath());
        return IniFile::ReadString(m_folder->settingsPath(), "SYSTEM", QString::fromLatin1(key));
    }
    static QLineEdit *pathEdit(QDialog *d) { return FindControl<QLineEdit>(d, COptionsDialog::kSavePathId); }
    static void click(QDialog *d, int id) { FindControl<QAbstractButton>(d, id)->click(); }

private slots:
    void cleanup()
    {
        m_app.reset();
        m_folder.reset();
    }

    // --- Rules without a window ---------------------------------------------------

    void associationPatterns()
    {
        const QStringList patterns = AssociationPatterns();
        QCOMPARE(patterns.size(), 30);
        QCOMPARE(patterns.first(), QStringLiteral("*.avi"));
        QCOMPARE(patterns.at(9), QStringLiteral("*.nut"));
        QCOMPARE(patterns.last(), QStringLiteral("*.mkv"));
        QCOMPARE(AssociationExtension("*.mjpeg"), QStringLiteral(".mjpeg"));
    }

    void associationMarks_data()
    {
        QTest::addColumn<QString>("storedText");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("marked");
        QTest::newRow("first of two") << ".avi.mkv" << "*.avi" << true;
        QTest::newRow("second of two") << ".avi.mkv" << "*.mkv" << true;
        QTest::newRow("not recorded") << ".avi.mkv" << "*.mp4" << false;
        QTest::newRow("blanks around") << "   .mp4   " << "*.mp4" << true;
        QTest::newRow("prefix of a longer one") << ".rmvb" << "*.rm" << true;
        QTest::newRow("longer than recorded") << ".mpg" << "*.mpeg" << false;
        QTest::newRow("letter case counts") << ".AVI" << "*.avi" << false;
        QTest::newRow("nothing recorded") << "" << "*.avi" << false;
    }
    void associationMarks()
    {
        QFETCH(QString, storedText);
        QFETCH(QString, pattern);
        QFETCH(bool, marked);
        QCOMPARE(IsAssociated(pattern, storedText), marked);
    }

    void buttonOfLevel_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("button");
        QTest::newRow("normal") << 0 << 1031;
        QTest::newRow("high") << 1 << 1030;
        QTest::newRow("real time") << 2 << 1029;
        QTest::newRow("idle") << 3 << 1032;
        QTest::newRow("other values are normal") << 7 << 1031;
    }
    void buttonOfLevel()
    {
        QFETCH(int, level);
        QFETCH(int, button);
        QCOMPARE(ButtonOfLevel(level), button);
    }

    // --- The dialog ---------------------------------------------------------------------------

    void commandOpensTheDialogWithItsTexts()
    {
        start({});
        ScriptedPrompterGuard prompter;
        QHash<int, QString> texts;
        QString title;
        prompter->dialogHandlers.push_back([&](QDialog *dialog) {
            title = dialog->windowTitle();
            for (QWidget *w : dialog->findChildren<QWidget *>()) {
                if (auto *g = qobject_cast<QGroupBox *>(w))
                    texts.insert(ControlIdOf(g), g->title());
                else if (auto *l = qobject_cast<QLabel *>(w))
                    texts.insert(ControlIdOf(l), l->text());
                else if (auto *b = qobject_cast<QAbstractButton *>(w))
                    texts.insert(ControlIdOf(b), b->text());
            }
            return int(QDialog::Rejected);
        });
        m_app->MainWindow()->OnCommand(Ids::Options);
        QCOMPARE(title, GetLangString("@99"));
        const QList<QPair<int, const char *>> expected{{1174, "@88"}, {1028, "@89"}, {1158, "@90"}, {1029, "@91"},
                                                       {1030, "@92"}, {1031, "@93"}, {1032, "@94"}, {1067, "@44"},
                                                       {2, "@62"},    {1200, "@156"}, {1068, "@157"}, {1203, "@158"}};
        for (const auto &[id, key] : expected) {
            QVERIFY2(!GetLangString(key).isEmpty(), key);
            QCOMPARE(texts.value(id), GetLangString(key));
        }
    }

    void priorityKeptWhenUntouched()
    {
        // Written in a form of its own: storing the value again would write "1".
        start({{"PROCSEE_LEVEL", "01"}});
        const QByteArray before = bytesOf(m_folder->settingsPath());
        QVERIFY(before.contains("PROCSEE_LEVEL=01"));
        COptionsDialog dialog(settings());
        QVERIFY(FindControl<QRadioButton>(&dialog, COptionsDialog::kHighId)->isChecked());
        QCOMPARE(dialog.PriorityIndex(), 1);
        click(&dialog, COptionsDialog::kOkId);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings().GetPriorityLevel(), 1);
        QCOMPARE(bytesOf(m_folder->settingsPath()), before); // nothing written at all
    }

    void priorityChoice_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("storedLevel");
        QTest::newRow("idle") << int(COptionsDialog::kIdleId) << true << "3";
        QTest::newRow("real time") << int(COptionsDialog::kRealTimeId) << true << "2";
        QTest::newRow("high") << int(COptionsDialog::kHighId) << true << "1";
        QTest::newRow("idle cancelled") << int(COptionsDialog::kIdleId) << false << "0";
    }
    void priorityChoice()
    {
        QFETCH(int, button);
        QFETCH(bool, confirmed);
        QFETCH(QString, storedLevel);
        start({{"PROCSEE_LEVEL", "0"}});
        COptionsDialog dialog(settings());
        QVERIFY(FindControl<QRadioButton>(&dialog, COptionsDialog::kNormalId)->isChecked());
        click(&dialog, button);
        QCOMPARE(stored("PROCSEE_LEVEL"), QStringLiteral("0")); // a click stores nothing yet
        click(&dialog, confirmed ? COptionsDialog::kOkId : COptionsDialog::kCancelId);
        QCOMPARE(stored("PROCSEE_LEVEL"), storedLevel);
        QCOMPARE(settings().GetPriorityLevel(), storedLevel.toInt());
    }

    void associationMarksAndButtons()
    {
        start({{"OLDASSOCIATIONREG", ".avi.mkv"}});
        const QByteArray before = bytesOf(m_folder->settingsPath());
        COptionsDialog dialog(settings());
        QListWidget *list = dialog.AssociationList();
        QCOMPARE(ControlIdOf(list), COptionsDialog::kAssociationListId);
        QCOMPARE(list->count(), 30);
        QCOMPARE(checkedRows(list), (QStringList{"*.avi", "*.mkv"}));
        click(&dialog, COptionsDialog::kClearAllId);
        QVERIFY(checkedRows(list).isEmpty());
        click(&dialog, COptionsDialog::kSelectAllId);
        QCOMPARE(checkedRows(list), AssociationPatterns());
        click(&dialog, COptionsDialog::kOkId);
        QCOMPARE(stored("OLDASSOCIATIONREG"), QStringLiteral(".avi.mkv"));
        QCOMPARE(bytesOf(m_folder->settingsPath()), before);
    }

    void unchangedSavePathNotWritten()
    {
        // Quoted in the file: storing the same path again would write it without the quotes.
        start({}, true);
        QCOMPARE(settings().GetSavedPath(), m_out);
        const QString path = m_folder->settingsPath();
        const QByteArray before = bytesOf(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        COptionsDialog dialog(settings());
        QCOMPARE(pathEdit(&dialog)->text(), m_out);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // The box gets the focus and loses it again, then OK.
        pathEdit(&dialog)->setFocus();
        QTRY_VERIFY(pathEdit(&dialog)->hasFocus());
        FindControl<QWidget>(&dialog, COptionsDialog::kOkId)->setFocus();
        QTRY_VERIFY(!pathEdit(&dialog)->hasFocus());
        click(&dialog, COptionsDialog::kOkId);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
    }

    void leavingTheBoxStoresAtOnce()
    {
        start({});
        ScriptedPrompterGuard prompter;
        COptionsDialog dialog(settings());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const QString typed = m_folder->file("new//sub dir ä $x");
        pathEdit(&dialog)->setFocus();
        pathEdit(&dialog)->setText(typed);
        FindControl<QWidget>(&dialog, COptionsDialog::kCancelId)->setFocus(); // real focus change
        const QString made = m_folder->file("new/sub dir ä $x");
        QTRY_COMPARE(stored("SavedPath"), made);
        QVERIFY(QFileInfo(made).isDir());
        QCOMPARE(pathEdit(&dialog)->text(), made);
        QVERIFY(prompter->messages.isEmpty());
        click(&dialog, COptionsDialog::kCancelId);
        QCOMPARE(stored("SavedPath"), made); // Cancel does not take it back
    }

    void folderThatCannotBeMade()
    {
        start({});
        ScriptedPrompterGuard prompter;
        const QString file = m_folder->file("plain file");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        COptionsDialog dialog(settings());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const QString bad = file + "/below";
        pathEdit(&dialog)->setFocus();
        pathEdit(&dialog)->setText(bad);
        FindControl<QWidget>(&dialog, COptionsDialog::kSelectAllId)->setFocus();
        QTRY_COMPARE(prompter->messages.size(), 2);
        QCOMPARE(prompter->messageTexts(),
                 (QStringList{QStringLiteral("Create  outPut file path %1 Failed!").arg(bad), GetLangString("@12")}));
        QTRY_VERIFY(pathEdit(&dialog)->hasFocus());
        QCOMPARE(pathEdit(&dialog)->selectedText(), bad);
        QCOMPARE(stored("SavedPath"), m_out);
        // OK keeps the dialog open and stores nothing.
        click(&dialog, COptionsDialog::kOkId);
        QVERIFY(dialog.isVisible());
        QCOMPARE(stored("SavedPath"), m_out);
        // A usable folder then goes through.
        pathEdit(&dialog)->setText(m_folder->file("fine"));
        click(&dialog, COptionsDialog::kOkId);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(stored("SavedPath"), m_folder->file("fine"));
    }

    void selectButtonChoosesAFolder()
    {
        start({});
        ScriptedPrompterGuard prompter;
        COptionsDialog dialog(settings());
        click(&dialog, COptionsDialog::kSelectId); // cancelled: nothing changes
        QCOMPARE(pathEdit(&dialog)->text(), m_out);
        const QString chosen = m_folder->file("chosen");
        QDir().mkpath(chosen);
        prompter->folderAnswers.push_back(chosen);
        click(&dialog, COptionsDialog::kSelectId);
        QCOMPARE(prompter->folderPrompts, (QStringList{GetLangString("@109"), GetLangString("@109")}));
        QCOMPARE(pathEdit(&dialog)->text(), chosen);
        QCOMPARE(stored("SavedPath"), m_out); // stored on OK
        click(&dialog, COptionsDialog::kOkId);
        QCOMPARE(stored("SavedPath"), chosen);
        QCOMPARE(settings().GetSavedPath(), chosen);
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
