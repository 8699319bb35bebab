// The program's modal message boxes and file dialogs, reached through replaceable hooks so that tests can
// answer them without a user; by default they are the ordinary Qt dialogs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QUrl;
class QWidget;

// A modal message box with one OK button.
using MessageHook =
    std::function<void(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)>;
// An open-file dialog with multiple selection; the empty list means Cancel.
using OpenFilesHook = std::function<QStringList(QWidget* owner, const QString& caption, const QString& folder,
                                                const QString& filter)>;
// A folder browser; the empty text means Cancel.
using FolderHook = std::function<QString(QWidget* owner, const QString& caption, const QString& folder)>;
// A save dialog that asks before overwriting; the empty text means Cancel.
using SaveNameHook = std::function<QString(QWidget* owner, const QString& folder, const QString& filter,
                                           const QString& defaultSuffix)>;
// A question with the buttons Yes and No and a question icon; true means Yes.
using QuestionHook = std::function<bool(QWidget* owner, const QString& caption, const QString& text)>;
// Opening an address with the desktop's handler for it; true when it was handed over.
using OpenUrlHook = std::function<bool(const QUrl& url)>;

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text);
QStringList AskOpenFiles(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filter);
QString AskFolder(QWidget* owner, const QString& caption, const QString& folder);
QString AskSaveFile(QWidget* owner, const QString& folder, const QString& filter,
                    const QString& defaultSuffix);

// Replace the dialogs (an empty function restores the default).
void SetMessageHook(MessageHook hook);
void SetOpenFilesHook(OpenFilesHook hook);
void SetFolderHook(FolderHook hook);
void SetSaveNameHook(SaveNameHook hook);
void SetQuestionHook(QuestionHook hook);
void SetOpenUrlHook(OpenUrlHook hook);

bool AskYesNo(QWidget* owner, const QString& caption, const QString& text);
bool OpenAddress(const QUrl& url);

// "text|patterns|text|patterns" (the registries' filter form) as Qt's "text (patterns);;text (patterns)".
// Patterns separated by ";" become blank-separated.
QString QtFilter(const QString& filter);
