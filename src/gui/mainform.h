// The main window: the conversion list with its intake roads, the output format and folder, the
// commands, start-up and shutdown, the unattended mode, and the engine's front end (every hand-over from
// the worker threads lands here on the main thread).
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "wvt/frontend.h"
#include "gui/optionsdialogs.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QThread;
class QToolButton;
class TCDForm;
class TDecManager;
class TEncManager;
class TFilesModel;
class TFilesView;
class TFormatBox;
class TIntake;
class TOverwriteDialog;
class TProgressForm;
class TPropertiesForm;
class TWaitForm;
class TWAVEncoderForm;
class Transcoder;
class TVersionCheck;
class Tsettingsform;

class Tmainform : public QMainWindow, public FrontEnd {
    Q_OBJECT
  public:
    // `arguments` are the command-line arguments without the program name.
    explicit Tmainform(const QStringList& arguments = {}, QWidget* parent = nullptr);
    ~Tmainform() override;

    static bool IsAutomateArgument(const QString& argument);

    // First display: command line, automation. Runs once; later calls do nothing.
    void FormShow();
    int ExitCode() const { return exitCode_; }
    bool Automated() const { return automation_; }
    bool Busy() const;
    bool Scanning() const { return scanning_; }

    // Intake (main thread).
    void addfile(const std::string& path);
    void addfilefromthread();
    void processfolder();
    void validatecheckbox();
    void AddFiles();
    void AddFolder1Click();
    // "Add Audio CD...": the drive dialog, then the chosen disc's or image's audio tracks.
    void AddAudioCD();
    void WMDropFiles(const QStringList& paths);
    void delete_();
    void Clear();
    void VSTHeaderClick(int column);
    void HeaderCheckBoxClick(bool checked);

    // Commands.
    void Convert();
    void formatboxChange(int index);
    void Button3Click();
    void selectpathClick();
    void openfolderClick();
    void samefolderClick(bool checked);
    void keepfoldersClick(bool checked);
    void Contents1Click();
    void settingsbuttonClick();
    void FileProperties1Click();
    void Checkupdates1Click();

    // FrontEnd.
    void RunOnMain(const std::function<void()>& work) override;
    int AskOverwrite(const std::string& outputName, bool& applyToAll) override;
    bool AskSaveName(const std::string& filter, const std::string& defaultExtension,
                     const std::string& folder, std::string& chosen) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void ShowException(const std::string& text) override;
    void UpdateRow(uint64_t node, int status) override;
    void AppendLog(const std::string& line) override;
    void OpenFolder(const std::string& folder) override;
    void AllWorkersEnded() override;

    // Parts the tests drive.
    TFilesModel* Model() const { return model_; }
    TFilesView* List() const { return list_; }
    TFormatBox* FormatBox() const { return formatbox_; }
    QPushButton* EncoderOptionsButton() const { return button3_; }
    QLineEdit* PathBox() const { return path_; }
    QPushButton* BrowseButton() const { return selectpath_; }
    QPushButton* OpenFolderButton() const { return openfolder_; }
    QCheckBox* KeepFoldersBox() const { return keepfolders_; }
    QCheckBox* SameFolderBox() const { return samefolder_; }
    TWaitForm* WaitForm() const { return waitForm_; }
    TProgressForm* ProgressForm() const { return progressForm_; }
    TOverwriteDialog* OverwriteDialog() const { return overwriteDialog_; }
    TWAVEncoderForm* WAVEncoderForm() const { return wavForm_; }
    TCDForm* CDForm() const { return cdForm_; }
    Tsettingsform* SettingsForm() const { return settingsForm_; }
    TPropertiesForm* PropertiesForm() const { return propertiesForm_; }
    TVersionCheck* VersionCheck() const { return versionCheck_.get(); }
    Transcoder& Engine() const { return *transcoder_; }
    const TIntake& Intake() const { return *intake_; }
    const std::vector<std::string>& FolderQueue() const { return folderQueue_; }
    QAction* Action(const QString& objectName) const;
    // The manual Help opens: wavetrove.html in the program's folder unless set otherwise.
    QString HelpFile() const { return helpFile_; }
    void SetHelpFile(const QString& file) { helpFile_ = file; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Files dropped anywhere on the window outside the list (the list takes its own drops).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void FormCreate();
    void BuildControls();
    void BuildListMenu();
    bool FormCloseQuery();
    void FormClose();
    void onterminate();
    void ContinueAutomation();
    void QuitAutomation(int code);
    void WaitForWork();

    QStringList arguments_;
    std::unique_ptr<TDecManager> decoders_;
    std::unique_ptr<TEncManager> encoders_;
    std::unique_ptr<TIntake> intake_;
    std::unique_ptr<Transcoder> transcoder_;
    TOptionsDialogs optionsDialogs_;

    TFilesModel* model_ = nullptr;
    TFilesView* list_ = nullptr;
    TFormatBox* formatbox_ = nullptr;
    QPushButton* button3_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* selectpath_ = nullptr;
    QPushButton* openfolder_ = nullptr;
    QCheckBox* keepfolders_ = nullptr;
    QCheckBox* samefolder_ = nullptr;
    QToolButton* helpButton_ = nullptr;
    TWaitForm* waitForm_ = nullptr;
    TProgressForm* progressForm_ = nullptr;
    TOverwriteDialog* overwriteDialog_ = nullptr;
    TWAVEncoderForm* wavForm_ = nullptr;
    TCDForm* cdForm_ = nullptr;
    Tsettingsform* settingsForm_ = nullptr;
    TPropertiesForm* propertiesForm_ = nullptr;
    std::unique_ptr<TVersionCheck> versionCheck_;
    QToolButton* addFileButton_ = nullptr;

    bool automation_ = false;
    bool scanning_ = false;
    bool shown_ = false;
    bool closed_ = false;
    int exitCode_ = 0;
    std::vector<std::string> folderQueue_;
    int sortColumn_ = -1;
    std::array<bool, 4> sortToggle_{};
    QString openFilter_;
    QString helpFile_;
};
