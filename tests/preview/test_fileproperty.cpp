#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QtTest>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "controls/CListCtrlEx.h"
#include "core/IniFile.h"
#include "lang/Language.h"
#include "preview/CFilePropertyDialog.h"
#include "preview/FilePropertyText.h"
#include "support/TestSupport.h"
#include "toolkit/ControlId.h"

using namespace TestSupport;

namespace {

// What the engine itself says about a file, read with our own patterns.
struct EngineFacts
{
    QString duration, bitRate, videoBitRate, audioBitRate;
};

EngineFacts engineFacts(const QString &path)
{
    const QString text = RunProgram(EnginePath(), {"-i", path});
    EngineFacts facts;
    const auto m = QRegularExpression("Duration: ([^,]+), start: [^,]+, bitrate: ([^\\r\\n]+)\\r\\n").match(text);
    facts.duration = m.captured(1);
    facts.bitRate = m.captured(2);
    facts.videoBitRate = QRegularExpression("Video: [^\\r\\n]*, (\\d+ kb/s), ").match(text).captured(1);
    facts.audioBitRate = QRegularExpression("Audio: [^\\r\\n]*, (\\d+ kb/s)\\r\\n").match(text).captured(1);
    return facts;
}

QString sizeText(const QString &path)
{
    return QString::number(QFileInfo(path).size() / 1024) + "KB";
}

} // namespace

class TestFileProperty : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<CCorvaneStudioApp> m_app;
    CCorvaneStudioDlg *m_dlg = nullptr;
    CListCtrlEx *m_list = nullptr;
    QString m_media;

    void start()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_media = m_folder->file("my $media ä/");
        QDir().mkpath(m_media);
        IniFile::WriteString(m_folder->settingsPath(), "SYSTEM", "SavedPath", m_folder->file("out"));
        m_app = std::make_unique<CCorvaneStudioApp>();
        m_app->InitInstance(m_folder->exePath(), {});
        m_dlg = m_app->MainWindow();
        m_list = m_dlg->GetTaskList();
    }
    // Adds a file as from the command line (not probed) and selects only its row.
    int add(const QString &path)
    {
        const int rows = m_list->rowCount();
        m_dlg->AddFileByPath(path);
        if (m_list->rowCount() != rows + 1)
            return 0;
        return m_dlg->TaskIdOfRow(rows);
    }
    // The information text of the dialog the Property command opens for one selected row.
    QString propertyText(int id)
    {
        m_list->clearSelection();
        m_list->SetRowSelected(m_dlg->RowOfTask(id), true);
        ScriptedPrompterGuard prompter;
        QString text;
        prompter->dialogHandlers.push_back([&](QDialog *dialog) {
            auto *property = qobject_cast<CFilePropertyDialog *>(dialog);
            if (property)
                text = property->InfoText();
            return int(QDialog::Rejected);
        });
        m_dlg->OnCommand(Ids::Property);
        return text;
    }

private slots:
    void cleanup()
    {
        m_app.reset();
        m_folder.reset();
    }

    void fillPlaceholders_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("text");
        QTest::newRow("in order") << "a%sb%sc" << QStringList{"1", "2"} << "a1b2c";
        QTest::newRow("values inserted unchanged") << "[%s][%s]" << QStringList{"%1 %s", "50%"} << "[%1 %s][50%]";
        QTest::newRow("missing values are empty") << "x%sy%sz" << QStringList{"1"} << "x1yz";
        QTest::newRow("no placeholder") << "plain" << QStringList{"1"} << "plain";
    }
    void fillPlaceholders()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, values);
        QFETCH(QString, text);
        QCOMPARE(FillPlaceholders(format, values), text);
    }

    void layoutOfTheText()
    {
        // Every field empty: the bare layout, blank first, two tabs last.
        TaskRecord empty;
        QCOMPARE(FilePropertyText(empty),
                 QStringLiteral(" File Name:\r\n File Path:\r\n File Size:\r\n Duration:  \r\n BitRate:   \r\n"
                                " Video:  \r\n \tCodec  :       \r\n \tBitRate:       \r\n \tSize   :       \r\n"
                                " \tFrame Rate:    \r\n Audio:      \r\n \tCodec  :      \r\n \tBitRate:     \r\n"
                                " \tSample Rate: \r\n \tChannel:      \t\t"));
        QCOMPARE(QString::fromLatin1(kFilePropertyFormat).count("%s"), 13);
    }

    void clipWithAudio()
    {
        start();
        const QString clip = m_media + "clip ä $1.avi";
        MakeClip(clip); // 320x240, 25 frames a second, 2 s, a 44.1 kHz tone
        QVERIFY(QFile::exists(clip));
        const int id = add(clip);
        QVERIFY(id > 0);
        QVERIFY(!m_dlg->GetTasks().Find(id)->mediaInfo); // never probed: the dialog reads it first
        const QString text = propertyText(id);

        const EngineFacts facts = engineFacts(clip);
        QVERIFY(!facts.duration.isEmpty() && !facts.videoBitRate.isEmpty() && !facts.audioBitRate.isEmpty());
        const QString expected = " File Name:clip ä $1\r\n"
                                 " File Path:" + m_media + "\r\n"
                                 " File Size:" + sizeText(clip) + "\r\n"
                                 " Duration: " + facts.duration + " \r\n"
                                 " BitRate:  " + facts.bitRate + " \r\n"
                                 " Video:  \r\n"
                                 " \tCodec  :     mpeg4  \r\n"
                                 " \tBitRate:     " + facts.videoBitRate + "  \r\n"
                                 " \tSize   :     320x240 [PAR 1:1 DAR 4:3]  \r\n"
                                 " \tFrame Rate:  25.00 tb(r)  \r\n"
                                 " Audio:      \r\n"
                                 " \tCodec  :     mp3 \r\n"
                                 " \tBitRate:     " + facts.audioBitRate + " \r\n"
                                 " \tSample Rate: 44100 Hz \r\n"
                                 " \tChannel:     mono  \t\t";
        QCOMPARE(text, expected);
        QVERIFY(text.startsWith(QStringLiteral(" File Name:clip ä $1\r\n File Path:")));
        // The probe's result stays with the task.
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        QVERIFY(task->mediaInfo);
        QCOMPARE(task->mediaInfo->durationText.str(), facts.duration);
        QCOMPARE(task->durationSec, 2);
    }

    void clipWithoutAudio()
    {
        start();
        const QString clip = m_media + "silent.mp4";
        ClipSpec spec;
        spec.audio = false;
        MakeClip(clip, spec);
        QVERIFY(QFile::exists(clip));
        const int id = add(clip);
        const QString text = propertyText(id);
        const EngineFacts facts = engineFacts(clip);
        QVERIFY(!facts.bitRate.isEmpty() && !facts.videoBitRate.isEmpty());
        // Without an audio stream the reading stops before the duration: those lines stay empty.
        const QString expected = " File Name:silent\r\n"
                                 " File Path:" + m_media + "\r\n"
                                 " File Size:" + sizeText(clip) + "\r\n"
                                 " Duration:  \r\n"
                                 " BitRate:  " + facts.bitRate + " \r\n"
                                 " Video:  \r\n"
                                 " \tCodec  :     h264  \r\n"
                                 " \tBitRate:     " + facts.videoBitRate + "  \r\n"
                                 " \tSize   :     320x240 [PAR 1:1 DAR 4:3]  \r\n"
                                 " \tFrame Rate:  25.00 tb(r)  \r\n"
                                 " Audio:      \r\n"
                                 " \tCodec  :      \r\n"
                                 " \tBitRate:     \r\n"
                                 " \tSample Rate: \r\n"
                                 " \tChannel:      \t\t";
        QCOMPARE(text, expected);
    }

    void informationAlreadyReadIsNotReadAgain()
    {
        start();
        const QString clip = m_media + "known.avi";
        MakeClip(clip);
        const int id = add(clip);
        const TaskPtr task = m_dlg->GetTasks().Find(id);
        task->mediaInfo = std::make_unique<MediaInfo>();
        task->mediaInfo->durationSecText = "9.0";
        task->mediaInfo->durationText = "00:00:09.00";
        task->mediaInfo->videoCodec = "remembered";
        const QString text = propertyText(id);
        QVERIFY(text.contains(" Duration: 00:00:09.00 \r\n"));
        QVERIFY(text.contains(" \tCodec  :     remembered  \r\n"));
        // Once its duration is unknown again, the next opening asks the engine.
        task->mediaInfo->durationSecText.clear();
        QVERIFY(propertyText(id).contains(" \tCodec  :     mpeg4  \r\n"));
    }

    void missingFileShowsEmptyValues()
    {
        start();
        const QString gone = m_media + "gone.avi";
        MakeClip(gone);
        const int id = add(gone);
        QVERIFY(QFile::remove(gone));
        const QString text = propertyText(id);
        QVERIFY(text.startsWith(" File Name:gone\r\n File Path:" + m_media + "\r\n"));
        QVERIFY(text.contains(" Video:  \r\n \tCodec  :       \r\n"));
        QVERIFY(m_dlg->GetTasks().Find(id)->mediaInfo); // a block exists now, with nothing in it
    }

    void twoRowsLowerFirst()
    {
        start();
        const QString a = m_media + "a.avi", b = m_media + "b.avi", c = m_media + "c.avi";
        for (const QString &p : {a, b, c}) {
            ClipSpec spec;
            spec.seconds = 1;
            MakeClip(p, spec);
        }
        add(a);
        add(b);
        add(c);
        m_list->clearSelection();
        m_list->SetRowSelected(0, true);
        m_list->SetRowSelected(2, true);
        ScriptedPrompterGuard prompter;
        QStringList shown;
        for (int i = 0; i < 3; ++i)
            prompter->dialogHandlers.push_back([&](QDialog *dialog) {
                shown << qobject_cast<CFilePropertyDialog *>(dialog)->SourcePath();
                return int(QDialog::Rejected);
            });
        m_dlg->OnCommand(Ids::Property);
        QCOMPARE(shown, (QStringList{c, a}));
        QCOMPARE(prompter->dialogTitles, (QStringList{GetLangString("@100"), GetLangString("@100")}));
    }

    void dialogLooksAndTyping()
    {
        start();
        const QString clip = m_media + "look.avi";
        MakeClip(clip);
        const int id = add(clip);
        CFilePropertyDialog dialog(m_dlg->GetTasks(), id, m_dlg);
        QCOMPARE(dialog.windowTitle(), GetLangString("@100"));
        QVERIFY(!dialog.windowTitle().isEmpty());
        QCOMPARE(FindControl<QPushButton>(&dialog, CFilePropertyDialog::kCloseId)->text(), GetLangString("@107"));
        QTextEdit *edit = dialog.InfoEdit();
        QCOMPARE(ControlIdOf(edit), CFilePropertyDialog::kInfoId);
        const QTextFrameFormat frame = edit->document()->rootFrame()->frameFormat();
        QCOMPARE(frame.leftMargin(), 3.0);
        QCOMPARE(frame.rightMargin(), 3.0);
        QCOMPARE(frame.topMargin(), 0.0);
        QCOMPARE(edit->toPlainText(), QString(dialog.InfoText()).replace("\r\n", "\n"));
        QVERIFY(!edit->isReadOnly());
        // Typing is accepted and forgotten.
        const QString before = dialog.InfoText();
        dialog.show();
        edit->setFocus();
        QTest::keyClicks(edit, "typed");
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(edit->toPlainText().contains("typed"));
        QVERIFY(dialog.isVisible()); // Return stays in the text box
        dialog.reject();
        CFilePropertyDialog again(m_dlg->GetTasks(), id, m_dlg);
        QCOMPARE(again.InfoText(), before);
        QVERIFY(!again.InfoEdit()->toPlainText().contains("typed"));
    }
};

QTEST_MAIN(TestFileProperty)
#include "test_fileproperty.moc"
