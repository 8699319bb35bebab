// Default message boxes and file dialogs, and the hooks that replace them.
#include "gui/messages.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace {
MessageHook gMessage;
OpenFilesHook gOpenFiles;
FolderHook gFolder;
SaveNameHook gSaveName;
QuestionHook gQuestion;
OpenUrlHook gOpenUrl;
}  // namespace

void SetMessageHook(MessageHook hook) {
    gMessage = std::move(hook);
}
void SetOpenFilesHook(OpenFilesHook hook) {
    gOpenFiles = std::move(hook);
}
void SetFolderHook(FolderHook hook) {
    gFolder = std::move(hook);
}
void SetSaveNameHook(SaveNameHook hook) {
    gSaveName = std::move(hook);
}

void SetQuestionHook(QuestionHook hook) {
    gQuestion = std::move(hook);
}
void SetOpenUrlHook(OpenUrlHook hook) {
    gOpenUrl = std::move(hook);
}

bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
    if (gQuestion) return gQuestion(owner, caption, text);
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

bool OpenAddress(const QUrl& url) {
    if (gOpenUrl) return gOpenUrl(url);
    return QDesktopServices::openUrl(url);
}

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    if (gMessage) {
        gMessage(owner, icon, caption, text);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

QStringList AskOpenFiles(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filter) {
    if (gOpenFiles) return gOpenFiles(owner, caption, folder, filter);
    return QFileDialog::getOpenFileNames(owner, caption, folder, filter);
}

QString AskFolder(QWidget* owner, const QString& caption, const QString& folder) {
    if (gFolder) return gFolder(owner, caption, folder);
    return QFileDialog::getExistingDirectory(owner, caption, folder, QFileDialog::ShowDirsOnly);
}

QString AskSaveFile(QWidget* owner, const QString& folder, const QString& filter,
                    const QString& defaultSuffix) {
    if (gSaveName) return gSaveName(owner, folder, filter, defaultSuffix);
    // A dialog object rather than the static call: only it takes a default suffix.
    QFileDialog dialog(owner, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Texts such as "WAV Audio (*.wav)" already name their patterns; Qt reads the last bracket, so
        // keep only the one built from the pattern part.
        QString text = parts[i].trimmed();
        if (text.endsWith(QLatin1Char(')')) && text.contains(QLatin1Char('(')))
            text = text.left(text.lastIndexOf(QLatin1Char('('))).trimmed();
        out << text + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}
