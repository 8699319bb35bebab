// Main window: the roads by which files enter the conversion list, folder scans on the intake thread,
// the list's commands, check boxes and sorting.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QThread>
#include <filesystem>

#include "gui/cdform.h"
#include "wvt/config.h"
#include "decoder/cddrives.h"
#include "decoder/manager.h"
#include "gui/fileslist.h"
#include "wvt/intake.h"
#include "gui/listheader.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/waitform.h"

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

void Tmainform::addfile(const std::string& path) {
    intake_->ClearPending();
    try {
        intake_->addfilethread(path);
    } catch (const std::exception& e) {
        ShowException(e.what());
    }
    addfilefromthread();
}

void Tmainform::addfilefromthread() {
    bool added = false;
    for (const TFilesItem& item : intake_->Pending()) added |= model_->Append(item);
    if (added) validatecheckbox();
}

void Tmainform::processfolder() {
    if (folderQueue_.empty()) {
        if (automation_) ContinueAutomation();
        return;
    }
    scanning_ = true;
    intake_->ClearPending();
    intake_->ClearStop();
    QThread* thread = QThread::create(
        [this, folders = folderQueue_, recurse = Config.recurse] { intake_->Scan(folders, recurse); });
    thread->setObjectName(QStringLiteral("CThread"));
    connect(thread, &QThread::finished, this, &Tmainform::onterminate);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    list_->setUpdatesEnabled(false);  // one repaint per scan
    thread->start();
    if (!automation_) waitForm_->show();  // modal to the application; returns at once
}

void Tmainform::onterminate() {
    addfilefromthread();
    list_->setUpdatesEnabled(true);
    waitForm_->Finish();
    folderQueue_.clear();
    scanning_ = false;
    if (automation_) ContinueAutomation();
}

void Tmainform::validatecheckbox() {
    const auto& rows = model_->Rows();
    bool all = !rows.empty();
    for (const TListRow& r : rows) all = all && r.checked;
    list_->Header()->SetChecked(all);  // sets the state without acting as a click
}

void Tmainform::AddFiles() {
    const QStringList names = AskOpenFiles(this, QStringLiteral("Open"), Q(Config.recent), openFilter_);
    if (names.isEmpty()) return;
    Config.recent = QFileInfo(names.first()).absolutePath().toStdString() + "/";
    for (const QString& name : names) {
        const std::string path = name.toStdString();
        addfile(path);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) folderQueue_.push_back(path);
    }
    processfolder();
}

void Tmainform::AddFolder1Click() {
    std::error_code error;
    const QString start = std::filesystem::is_directory(Config.recent, error) ? Q(Config.recent) : QString();
    const QString folder = AskFolder(this, QStringLiteral("Select Directory"), start);
    if (folder.isEmpty()) return;
    Config.recent = folder.toStdString();
    folderQueue_.push_back(folder.toStdString());
    processfolder();
}

void Tmainform::AddAudioCD() {
    for (const QString& name : cdForm_->Choose()) {
        const std::string path = name.toStdString();
        if (QFileInfo(name).isFile()) Config.recent = QFileInfo(name).absolutePath().toStdString() + "/";
        addfile(path);
        if (intake_->Pending().empty())
            ShowMessage(this, QMessageBox::Warning, QStringLiteral("Warning!"),
                        QStringLiteral("No audio CD in %1.").arg(name));
    }
}

void Tmainform::WMDropFiles(const QStringList& paths) {
    // Full paths: the desktop hands over names of any length.
    for (const QString& name : paths) {
        const std::string path = name.toStdString();
        if (decoders_->IsSupported(path) || IsCDContainer(path)) addfile(path);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) folderQueue_.push_back(path);
    }
    processfolder();
}

void Tmainform::delete_() {
    model_->RemoveRows(list_->SelectedRows());
    validatecheckbox();
}

void Tmainform::Clear() {
    model_->Clear();
    validatecheckbox();
    intake_->ClearPending();
}

void Tmainform::HeaderCheckBoxClick(bool checked) {
    model_->SetAllChecked(checked);  // the per-row handler does not run for these
    list_->viewport()->update();
}

void Tmainform::VSTHeaderClick(int column) {
    if (column < 0 || column > 3) return;
    sortColumn_ = column;
    const bool descending = !sortToggle_[static_cast<size_t>(column)];
    model_->Sort(column, descending);
    list_->Header()->setSortIndicatorShown(true);
    list_->Header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    sortToggle_[static_cast<size_t>(column)] = !sortToggle_[static_cast<size_t>(column)];
}
