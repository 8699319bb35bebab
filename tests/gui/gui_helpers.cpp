// GUI test helpers.
#include "gui_helpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <fstream>

#include "wvt/config.h"
#include "gui/fileslist.h"
#include "gui/formatbox.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "wvt/transcoder.h"

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void MakeWav(const std::filesystem::path& path, double seconds, double frequency, int rate) {
    testsupport::PcmSpec spec{rate, 2, testsupport::SampleKind::S16};
    const auto frames = static_cast<int64_t>(seconds * rate);
    testsupport::WriteBytes(path, testsupport::WavFile(spec, testsupport::SinePcm(spec, frames, frequency)));
}

int CodecIndex(const Tmainform& form, const QString& shortName) {
    for (int i = 0; i < form.FormatBox()->count(); ++i)
        if (form.FormatBox()->itemText(i).section(QLatin1Char('-'), 0, 0).trimmed() == shortName) return i;
    return -1;
}

void GuiTest::SetUp() {
    std::filesystem::remove(SettingsFolder() / "wavetrove.ini");
    Config = config{};
    SetMessageHook(
        [this](QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
            messages_.push_back({icon, caption, text, owner != nullptr});
        });
    SetFolderHook([this](QWidget*, const QString& caption, const QString&) {
        EXPECT_EQ(caption, QStringLiteral("Select Directory"));
        if (folderAnswers_.empty()) return QString();
        QString answer = folderAnswers_.front();
        folderAnswers_.erase(folderAnswers_.begin());
        return answer;
    });
}

void GuiTest::TearDown() {
    CloseWindow();
    SetMessageHook({});
    SetFolderHook({});
    SetOpenFilesHook({});
    SetSaveNameHook({});
}

std::filesystem::path GuiTest::SettingsFolder() const {
    return std::filesystem::path(qgetenv("XDG_CONFIG_HOME").toStdString()) / "Quillsound";
}

void GuiTest::SeedSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    std::filesystem::create_directories(SettingsFolder());
    std::ofstream ini(SettingsFolder() / "wavetrove.ini");
    ini << "[Settings]\n";
    for (const auto& [name, value] : values) ini << name << "=" << value << "\n";
}

Tmainform& GuiTest::MakeWindow(const QStringList& arguments) {
    form_ = std::make_unique<Tmainform>(arguments);
    form_->show();
    WaitFor([] { return false; }, 30);  // let the start-up note come and go
    return *form_;
}

void GuiTest::CloseWindow() {
    if (!form_) return;
    if (form_->Busy()) {
        form_->Engine().Cancel();
        WaitFor([this] { return !form_->Busy(); });
    }
    form_->close();
    form_.reset();
}

std::vector<std::string> GuiTest::ListPaths() const {
    std::vector<std::string> paths;
    for (const TListRow& r : form_->Model()->Rows()) paths.push_back(r.item.path);
    return paths;
}

std::vector<QString> GuiTest::Statuses() const {
    std::vector<QString> statuses;
    for (const TListRow& r : form_->Model()->Rows())
        statuses.push_back(QString::fromLatin1(StatusText(r.item.status)));
    return statuses;
}

std::vector<RecordedMessage> GuiTest::Messages() const {
    std::vector<RecordedMessage> shown;
    for (const RecordedMessage& m : messages_)
        if (m.text != QStringLiteral("Windows Media Format Runtime not installed!")) shown.push_back(m);
    return shown;
}
