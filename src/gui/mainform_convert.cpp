// Main window: the Convert command, the progress window's start, and the engine's front end, through
// which workers reach the list, the log and the user on this thread.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "wvt/config.h"
#include "gui/fileslist.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/overwritedialog.h"
#include "gui/progressform.h"
#include "wvt/transcoder.h"

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

void Tmainform::Convert() {
    if (Busy()) {
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("Operation in progress"),
                    QString::fromLatin1(TEXT_ALREADY_STARTED));
        return;
    }
    Config.output = path_->text().toStdString();

    std::vector<ConvertRow> rows;
    rows.reserve(model_->Rows().size());
    for (const TListRow& r : model_->Rows()) rows.push_back(ConvertRow{r.item.path, r.node, r.checked});

    QMessageBox::Icon icon = QMessageBox::Warning;
    QString caption = QStringLiteral("Warning!");
    QWidget* owner = this;
    const char* text = nullptr;
    switch (transcoder_->Convert(rows, keepfolders_->isChecked())) {
        case Transcoder::Refusal::None:
            break;
        case Transcoder::Refusal::Busy:
            text = TEXT_ALREADY_STARTED;
            break;
        case Transcoder::Refusal::NoOutputFolder:
            text = TEXT_NO_OUTPUT_FOLDER;
            icon = QMessageBox::Critical;
            caption = QStringLiteral("Error!");
            owner = nullptr;
            break;
        case Transcoder::Refusal::ListEmpty:
            text = TEXT_LIST_EMPTY;
            break;
        case Transcoder::Refusal::NothingChecked:
            text = TEXT_NOTHING_CHECKED;
            break;
    }
    if (text) {
        if (automation_) {
            // Nobody is there to read a message box, and nothing would ever end the program after it.
            std::fprintf(stderr, "wavetrove: %s\n", text);
            QuitAutomation(1);
            return;
        }
        ShowMessage(owner, icon, caption, QString::fromLatin1(text));
        return;
    }
    progressForm_->StartProgress();
    if (!automation_) progressForm_->show();  // modal to the application; returns at once
}

void Tmainform::ContinueAutomation() {
    if (!model_->Rows().empty()) {
        Convert();
        return;
    }
    folderQueue_.clear();
    QuitAutomation(1);
}

void Tmainform::QuitAutomation(int code) {
    exitCode_ = code;
    // Queued: this may run inside a worker's hand-over, which must return before anything is torn down.
    QTimer::singleShot(0, this, [this, code] {
        if (code == 0) close();
        QCoreApplication::exit(code);
    });
}

void Tmainform::RunOnMain(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(
        this, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

int Tmainform::AskOverwrite(const std::string& outputName, bool& applyToAll) {
    return overwriteDialog_->Ask(Q(outputName), applyToAll);
}

bool Tmainform::AskSaveName(const std::string& filter, const std::string& defaultExtension,
                            const std::string& folder, std::string& chosen) {
    const QString name = AskSaveFile(this, Q(folder), QtFilter(Q(filter)), Q(defaultExtension));
    if (name.isEmpty()) return false;
    chosen = name.toStdString();
    return true;
}

void Tmainform::ShowError(const std::string& caption, const std::string& text) {
    ShowMessage(this, QMessageBox::Critical, Q(caption), Q(text));
}

void Tmainform::ShowException(const std::string& text) {
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("Wavetrove"), Q(text));
}

void Tmainform::UpdateRow(uint64_t node, int status) {
    const int row = model_->RowOfNode(node);
    if (row < 0) return;  // the row was removed meanwhile
    model_->SetStatus(row, status);
    if (status != 0) {
        model_->SetChecked(row, false);
        validatecheckbox();
    }
    list_->scrollTo(model_->index(row, 0));
}

void Tmainform::AppendLog(const std::string& line) {
    progressForm_->AppendLog(Q(line));
}

void Tmainform::OpenFolder(const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(Q(folder)));
}

void Tmainform::AllWorkersEnded() {
    progressForm_->FinishProgress();
    if (automation_) QuitAutomation(0);
}
