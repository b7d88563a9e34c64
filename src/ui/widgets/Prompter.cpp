#include "ui/widgets/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "base/UserMessage.h"

namespace {
std::unique_ptr<Prompter> &slot()
{
    static std::unique_ptr<Prompter> current = std::make_unique<DialogPrompter>();
    return current;
}

QString windowTitle(QWidget *parent)
{
    if (parent && parent->window())
        return parent->window()->windowTitle();
    return QApplication::applicationDisplayName();
}
} // namespace

Prompter &Prompter::Current()
{
    return *slot();
}

std::unique_ptr<Prompter> Prompter::Install(std::unique_ptr<Prompter> prompter)
{
    std::unique_ptr<Prompter> old = std::move(slot());
    slot() = prompter ? std::move(prompter) : std::make_unique<DialogPrompter>();
    return old;
}

int DialogPrompter::Message(QWidget *parent, const QString &text, Buttons buttons, Icon icon)
{
    QMessageBox box(parent);
    box.setWindowTitle(windowTitle(parent));
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == Buttons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? Ok : Cancel;
}

QStringList DialogPrompter::OpenFiles(QWidget *parent, const FileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.startPath, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString DialogPrompter::SaveFile(QWidget *parent, const FileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.startPath, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DialogPrompter::Folder(QWidget *parent, const QString &prompt, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, prompt, startFolder, QFileDialog::ShowDirsOnly);
}

int DialogPrompter::Exec(QDialog *dialog)
{
    return dialog->exec();
}

void InstallUserMessageHandler()
{
    SetUserMessageHandler([](const QString &message) {
        auto show = [message] { ShowMessage(QApplication::activeWindow(), message, Prompter::Icon::Warning); };
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        else if (QThread::currentThread() == app->thread())
            show();
        else
            QMetaObject::invokeMethod(app, show, Qt::BlockingQueuedConnection);
    });
}

int ShowMessage(QWidget *parent, const QString &text, Prompter::Icon icon)
{
    return Prompter::Current().Message(parent, text, Prompter::Buttons::Ok, icon);
}

bool AskOkCancel(QWidget *parent, const QString &text, Prompter::Icon icon)
{
    return Prompter::Current().Message(parent, text, Prompter::Buttons::OkCancel, icon) == Prompter::Ok;
}
