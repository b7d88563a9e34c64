#include "app/Headless.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <cstdio>

#include "app/CCorvaneStudioApp.h"
#include "app/CCorvaneStudioDlg.h"
#include "app/ControlIds.h"
#include "app/ConvertInfoDialog.h"
#include "controls/CListCtrlEx.h"
#include "toolkit/ControlId.h"
#include "toolkit/Prompter.h"

namespace {

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// Messages go to the terminal; questions are answered with OK, the answer a user
// who asked for the conversion would give; nothing waits for input.
class TerminalPrompter : public Prompter
{
public:
    int Message(QWidget *, const QString &text, Buttons buttons, Icon) override
    {
        print(stderr, text.trimmed());
        if (buttons == Buttons::OkCancel)
            print(stderr, QStringLiteral("  -> OK"));
        return Ok;
    }
    QStringList OpenFiles(QWidget *, const FileRequest &) override { return {}; }
    QString SaveFile(QWidget *, const FileRequest &) override { return {}; }
    QString Folder(QWidget *, const QString &, const QString &) override { return {}; }
    int Exec(QDialog *dialog) override
    {
        if (auto *info = qobject_cast<ConvertInfoDialog *>(dialog)) {
            print(stderr, QStringLiteral("--- engine output ---"));
            print(stderr, info->Text().trimmed());
            print(stderr, QStringLiteral("---------------------"));
        }
        return QDialog::Rejected;
    }
};

QString rowName(CListCtrlEx *list, int row)
{
    return QStringLiteral("[%1/%2] %3").arg(row + 1).arg(list->rowCount()).arg(list->GetItemText(row, 0));
}

} // namespace

void InstallTerminalPrompter()
{
    Prompter::Install(std::make_unique<TerminalPrompter>());
}

int RunHeadless(CCorvaneStudioApp &app, const CommandLine &commandLine)
{
    CCorvaneStudioDlg *dlg = app.MainWindow();
    CListCtrlEx *list = dlg->GetTaskList();

    if (!commandLine.profile.isEmpty()) {
        auto *combo = FindControl<QComboBox>(dlg, Ids::ProfileCombo);
        const int index = combo->findText(commandLine.profile, Qt::MatchExactly);
        if (index < 0) {
            QStringList names;
            for (int i = 0; i < combo->count(); ++i)
                if (!combo->itemText(i).isEmpty())
                    names << QStringLiteral("  ") + combo->itemText(i);
            print(stderr, QStringLiteral("Unknown profile \"%1\". The profiles are:\n%2")
                              .arg(commandLine.profile, names.join(u'\n')));
            return 2;
        }
        combo->setCurrentIndex(index);
    }
    if (!commandLine.destination.isEmpty())
        FindControl<QLineEdit>(dlg, Ids::DestinationEdit)->setText(commandLine.destination);

    // Files the list refused (missing, without an extension, given twice) count as not converted.
    int refused = 0;
    QStringList listed;
    for (int row = 0; row < list->rowCount(); ++row)
        if (const TaskPtr task = dlg->TaskOfRow(row))
            listed << task->sourcePath;
    for (const QString &file : commandLine.files) {
        if (listed.contains(file.trimmed())) {
            listed.removeOne(file.trimmed());
            continue;
        }
        ++refused;
        const QFileInfo info(file.trimmed());
        print(stderr, QStringLiteral("Skipped \"%1\": %2").arg(file, !info.isFile() ? QStringLiteral("no such file")
                                                                                   : QStringLiteral("not added (no extension, or given twice)")));
    }
    if (list->rowCount() == 0) {
        print(stderr, QStringLiteral("Nothing to convert."));
        return 1;
    }

    const QString profile = FindControl<QComboBox>(dlg, Ids::ProfileCombo)->currentText();
    print(stdout, QStringLiteral("Converting %1 file(s) with the profile \"%2\"").arg(list->rowCount()).arg(profile));

    int lastOverall = -1;
    QObject::connect(dlg, &CCorvaneStudioDlg::overallProgressChanged, dlg, [&](int percent) {
        if (percent != lastOverall && percent > 0)
            print(stdout, QStringLiteral("  %1%").arg(percent));
        lastOverall = percent;
    });
    QObject::connect(dlg, &CCorvaneStudioDlg::statusLineChanged, dlg, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Converting \"")) && text.contains(QStringLiteral("\" to \"")))
            print(stdout, text.trimmed());
    });
    QObject::connect(dlg, &CCorvaneStudioDlg::rowStatusChanged, dlg, [&](int row, const QString &status) {
        if (!status.isEmpty() && status != QStringLiteral("seeking..."))
            print(stdout, QStringLiteral("%1: %2").arg(rowName(list, row), status));
    });

    dlg->OnConvertAll();
    dlg->WaitForWorkers();

    int completed = 0;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QString status = list->GetItemText(row, 3);
        if (status == QStringLiteral("Completed"))
            ++completed;
        else if (status.isEmpty())
            print(stdout, QStringLiteral("%1: not converted").arg(rowName(list, row)));
    }
    print(stdout, QStringLiteral("%1 of %2 file(s) converted.").arg(completed).arg(list->rowCount() + refused));
    const int status = (completed == list->rowCount() && refused == 0) ? 0 : 1;
    dlg->close();
    return status;
}
