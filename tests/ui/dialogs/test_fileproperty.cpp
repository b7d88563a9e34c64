// The File Property dialog on clips the engine makes, opened through the main window.
#include <QRegularExpression>
#include <QTextEdit>
#include <QtTest>

#include "ui/mainwindow/CCorvaneStudioDlg.h"
#include "ui/mainwindow/TaskListView.h"
#include "ui/mainwindow/ControlIds.h"
#include "ui/widgets/CListCtrlEx.h"
#include "ui/dialogs/CFilePropertyDialog.h"
#include "support/MainWindowFixture.h"

using namespace TestSupport;

namespace {
// A clip with or without sound, perhaps deleted before the dialog opens: the dialog's text and
// the length the task knows after it.
struct Shown { QString file; bool audio, gone; int durationSec; QString expected; };
} // namespace

class TestFileProperty : public WindowTest
{
    Q_OBJECT

    // Makes a clip and adds it as from the command line, so it is not probed; returns its task id.
    int addClip(const QString &name, const ClipSpec &recipe = ClipSpec())
    {
        MakeClip(m_media + name, recipe);
        const int rows = m_list->rowCount();
        m_dlg->TaskView().AddFileByPath(m_media + name);
        return m_list->rowCount() == rows + 1 ? m_dlg->TaskView().TaskIdOfRow(rows) : 0;
    }
    // The texts of the dialogs the Property command opens for the given rows.
    QStringList openProperty(const QList<int> &rows)
    {
        m_list->clearSelection();
        for (int row : rows)
            m_list->SetRowSelected(row, true);
        QStringList texts;
        for (int i = 0; i <= rows.size(); ++i) // one more than asked for, to see a dialog too many
            m_fx->Prompts().dialogHandlers.push_back([&](QDialog *dialog) {
                auto *property = qobject_cast<CFilePropertyDialog *>(dialog);
                texts << (property ? property->InfoText() : "not a File Property dialog");
                return int(QDialog::Rejected);
            });
        m_dlg->OnCommand(Ids::Property);
        m_fx->Prompts().dialogHandlers.clear();
        return texts;
    }

private slots:
    void init() { start(); }

    // {name} and the like stand for what the engine reports about the clip.
    void text_data()
    {
        QTest::addColumn<Shown>("shown");
        const QString head = " File Name:{name}\r\n File Path:{folder}\r\n File Size:{size}\r\n";
        const QString video = " Video:  \r\n \tCodec  :     %1  \r\n \tBitRate:     {vbitrate}  \r\n"
                              " \tSize   :     320x240 [PAR 1:1 DAR 4:3]  \r\n \tFrame Rate:  25.00 tb(r)  \r\n";
        const QString noAudio = " Audio:      \r\n \tCodec  :      \r\n \tBitRate:     \r\n \tSample Rate: \r\n"
                                " \tChannel:      \t\t";
        // A value holding "%1" or "%s" comes out as it is.
        QTest::newRow("with audio") << Shown{"clip ä $1 %1 %s.avi", true, false, 2,
            head + " Duration: {duration} \r\n BitRate:  {bitrate} \r\n" + video.arg("mpeg4") +
            " Audio:      \r\n \tCodec  :     mp3 \r\n \tBitRate:     {abitrate} \r\n \tSample Rate: 44100 Hz \r\n"
            " \tChannel:     mono  \t\t"};
        // Without an audio stream the reading stops before the duration.
        QTest::newRow("without audio") << Shown{"silent.mp4", false, false, 0,
            head + " Duration:  \r\n BitRate:  {bitrate} \r\n" + video.arg("h264") + noAudio};
        QTest::newRow("file gone") << Shown{"gone.avi", true, true, 0, head + " Duration:  \r\n BitRate:   \r\n Video:  \r\n"
            " \tCodec  :       \r\n \tBitRate:       \r\n \tSize   :       \r\n \tFrame Rate:    \r\n" + noAudio};
    }
    void text()
    {
        QFETCH(Shown, shown);
        auto &[file, audio, gone, durationSec, expected] = shown;
        const int id = addClip(file, {.audio = audio});
        QVERIFY(id > 0);
        const QString path = m_media + file;
        const QString size = QString::number(QFileInfo(path).size() / 1024) + "KB";
        QVERIFY(!gone || QFile::remove(path));
        const TaskPtr task = m_dlg->Tasks().Find(id);
        QVERIFY(!task->mediaInfo); // not read yet: the dialog reads it first

        // What the engine itself says, read with our own patterns.
        const QString engine = gone ? QString() : RunProgram(EnginePath(), {"-i", path});
        auto find = [&](const char *pattern) { return QRegularExpression(pattern).match(engine).captured(1); };
        expected.replace("{name}", QFileInfo(file).completeBaseName()).replace("{folder}", m_media);
        expected.replace("{size}", size).replace("{duration}", find("Duration: ([^,]+), start"));
        expected.replace("{bitrate}", find("Duration: [^\\r\\n]*, bitrate: ([^\\r\\n]+)\\r\\n"));
        expected.replace("{vbitrate}", find("Video: [^\\r\\n]*, (\\d+ kb/s), "));
        expected.replace("{abitrate}", find("Audio: [^\\r\\n]*, (\\d+ kb/s)\\r\\n"));
        QCOMPARE(openProperty({m_dlg->TaskView().RowOfTask(id)}), QStringList{expected});
        QVERIFY(task->mediaInfo); // the reading stays with the task
        QCOMPARE(task->durationSec, durationSec);
    }

    void selectedRowsOpenInTurnAndKnownInfo()
    {
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            QVERIFY(addClip(name, {.seconds = 1}) > 0);
        const QStringList texts = openProperty({0, 2});
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(" File Name:c\r\n") && texts[1].startsWith(" File Name:a\r\n"));
        // What the task already knows is shown without asking the engine, unless its length is unknown.
        MediaInfo &known = *m_dlg->TaskView().TaskOfRow(0)->mediaInfo;
        known.videoCodec = "remembered";
        QVERIFY(openProperty({0}).value(0).contains(" \tCodec  :     remembered  \r\n"));
        known.durationSecText.clear();
        QVERIFY(openProperty({0}).value(0).contains(" \tCodec  :     mpeg4  \r\n"));
        // The text can be typed into, and is forgotten; Return stays in the text box.
        const int id = m_dlg->TaskView().TaskIdOfRow(0);
        CFilePropertyDialog dialog(m_dlg->Tasks(), id, m_dlg);
        QTextEdit *edit = dialog.InfoEdit();
        QCOMPARE(edit->toPlainText(), QString(dialog.InfoText()).replace("\r\n", "\n"));
        dialog.show();
        QTest::keyClicks(edit, "typed");
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(edit->toPlainText().contains("typed") && dialog.isVisible());
        QVERIFY(!CFilePropertyDialog(m_dlg->Tasks(), id, m_dlg).InfoEdit()->toPlainText().contains("typed"));
    }
};

QTEST_MAIN(TestFileProperty)
#include "test_fileproperty.moc"
