// Main window: creation, first display, the format and folder controls, Help, and shutdown.
#include "gui/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <filesystem>

#include "gui/cdform.h"
#include "wvt/config.h"
#include "decoder/cddrives.h"
#include "decoder/manager.h"
#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"
#include "gui/encoderform.h"
#include "gui/fileslist.h"
#include "gui/aacencoderform.h"
#include "gui/alacencoderform.h"
#include "gui/apeencoderform.h"
#include "gui/wvencoderform.h"
#include "gui/flacencoderform.h"
#include "gui/formatbox.h"
#include "wvt/intake.h"
#include "gui/listheader.h"
#include "gui/messages.h"
#include "gui/mp3encoderform.h"
#include "gui/oggencoderform.h"
#include "gui/opusencoderform.h"
#include "gui/overwritedialog.h"
#include "gui/progressform.h"
#include "gui/propertiesform.h"
#include "gui/settingsform.h"
#include "gui/versioncheck.h"
#include "wvt/settings.h"
#include "wvt/transcoder.h"
#include "gui/waitform.h"
#include "gui/wavencoderform.h"
#include "bindings/wmf9.h"

static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QIcon Icon(const char* name) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

// The manual beside the program (the build folder), else in the data folder an installation puts it in.
QString ManualFile() {
    const QString folder = Q(ProgramFolder());
    const QString beside = folder + QStringLiteral("wavetrove.html");
    if (QFileInfo::exists(beside)) return beside;
    const QString installed =
        QDir::cleanPath(folder + QStringLiteral(WAVETROVE_DATA_FROM_BIN "/wavetrove.html"));
    return QFileInfo::exists(installed) ? installed : beside;
}
}  // namespace

Tmainform::Tmainform(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(arguments) {
    InitIconResources();
    setObjectName(QStringLiteral("mainform"));
    setWindowIcon(Icon("wavetrove"));
    FormCreate();
}

Tmainform::~Tmainform() {
    WaitForWork();
    SetOptionsDialogs(nullptr);
    transcoder_.reset();
    if (decoders_) decoders_->Done();
}

bool Tmainform::IsAutomateArgument(const QString& argument) {
    return argument.toUpper() == QStringLiteral("/AUTOMATE");
}

bool Tmainform::Busy() const {
    return scanning_ || (transcoder_ && transcoder_->Busy());
}

// Workers and the intake thread hand work to this thread and wait for it: keep serving them until they
// are done, so that tearing the window down never leaves one blocked.
void Tmainform::WaitForWork() {
    if (intake_) intake_->RequestStop();
    if (transcoder_) transcoder_->Cancel();
    while (Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Tmainform::FormCreate() {
    automation_ = false;
    BuildControls();

    decoders_ = std::make_unique<TDecManager>();
    decoders_->Init();
    // A failure to load the Ogg writer's libraries is shown over this window; the hook goes with the
    // registry's construction, so it never outlives the window.
    TEncManager::SetLoadErrorHook([this](const std::string& message) {
        ShowMessage(this, QMessageBox::Critical, "Error", Q(message));
    });
    encoders_ = std::make_unique<TEncManager>();
    TEncManager::SetLoadErrorHook({});
    formatbox_->clear();
    for (size_t i = 0; i < encoders_->Count(); ++i)
        formatbox_->addItem(Q(encoders_->Item(i).GetDescription()));

    intake_ = std::make_unique<TIntake>(*decoders_);
    // Errors of the intake are shown on this thread, also when they come from a scan's thread, which waits.
    intake_->OnFileError = [this](const std::string& text) {
        RunOnMain([&] { ShowMessage(this, QMessageBox::Critical, QStringLiteral("Error!"), Q(text)); });
    };
    intake_->OnScanError = [this](const std::string& text) { RunOnMain([&] { ShowException(text); }); };
    openFilter_ = QtFilter(Q(decoders_->GetOpenFilter()));
    scanning_ = false;
    transcoder_ = std::make_unique<Transcoder>(*decoders_, *encoders_, *this);
    setAcceptDrops(true);

    versionCheck_ = std::make_unique<TVersionCheck>(this);
    versionCheck_->addresses = ReadUpdateAddresses(QString::fromStdString(SettingsFile().string()));
    versionCheck_->reportErrors = true;
    versionCheck_->askOnNewVersion = true;
    setWindowTitle(versionCheck_->productName + QLatin1Char(' ') + versionCheck_->ownVersion);
    helpFile_ = ManualFile();

    config loaded;
    LoadSettings(loaded);
    Config = loaded;

    resize(Config.width != -1 ? Config.width : 760, Config.height != -1 ? Config.height : 480);
    for (int i = 0; i < 4; ++i) list_->Header()->resizeSection(i, Config.col[static_cast<size_t>(i)]);
    path_->setText(Q(Config.output));

    const int last = formatbox_->count() - 1;
    if (Config.codec > last) Config.codec = last;
    if (Config.codec < 0) Config.codec = 0;
    formatbox_->setCurrentIndex(Config.codec);
    button3_->setEnabled(encoders_->Item(static_cast<size_t>(Config.codec)).HasOptions());
    connect(formatbox_, &QComboBox::currentIndexChanged, this, &Tmainform::formatboxChange);

    // Made here, after the settings are loaded (also unattended): its creation holds the thread count to
    // the processors there are, and the same-folder box below unchecks its "open the folder" box.
    settingsForm_ = new Tsettingsform(FileVersion(), this);

    // Setting the boxes from code runs their handlers, as a click does.
    keepfolders_->setChecked(Config.keepfolder);
    samefolder_->setChecked(Config.samefolder);
    if (samefolder_->isChecked()) {
        for (QWidget* w : {static_cast<QWidget*>(selectpath_), static_cast<QWidget*>(openfolder_),
                           static_cast<QWidget*>(path_), static_cast<QWidget*>(keepfolders_)})
            w->setEnabled(false);
        keepfolders_->setChecked(false);
        Config.keepfolder = false;
    }

    const bool automated = !arguments_.isEmpty() && IsAutomateArgument(arguments_.first());
    if (!WMF9Available() && !automated)
        QTimer::singleShot(0, this, [this] {
            ShowMessage(this, QMessageBox::Information, QStringLiteral("Wavetrove"),
                        QStringLiteral("Windows Media Format Runtime not installed!"));
        });
    formatbox_->setMaxVisibleItems(formatbox_->count());

    waitForm_ = new TWaitForm(this);
    waitForm_->OnCancel = [this] {
        intake_->RequestStop();
        transcoder_->Cancel();
    };
    propertiesForm_ = new TPropertiesForm(*decoders_, *model_, this);
    progressForm_ = new TProgressForm(this);
    progressForm_->SetReadings(
        {[this] { return transcoder_->Progress(); }, [this] { return transcoder_->Skipped(); },
         [this] { return transcoder_->Failed(); }, [this] { return transcoder_->FilesQueued(); }});
    progressForm_->OnCancel = [this] {
        transcoder_->Cancel();
        intake_->RequestStop();
    };
    overwriteDialog_ = new TOverwriteDialog(this);
    cdForm_ = new TCDForm(this);
    wavForm_ = new TWAVEncoderForm(this);
    optionsDialogs_.Register(WAVwriterClass, wavForm_);
    optionsDialogs_.Register(AIFwriterClass, wavForm_);
    optionsDialogs_.Register(MP3writerClass, new TMP3EncoderForm(this));
    optionsDialogs_.Register(FLACwriterClass, new TFLACEncoderForm(this));
    optionsDialogs_.Register(APEwriterClass, new TAPEEncoderForm(this));
    optionsDialogs_.Register(OGGwriterClass, new TOGGEncoderForm(this));
    optionsDialogs_.Register(OpuswriterClass, new TOpusEncoderForm(this));
    optionsDialogs_.Register(AACwriterClass, new TAACEncoderForm(this));
    optionsDialogs_.Register(ALACwriterClass, new TALACEncoderForm(this));
    optionsDialogs_.Register(WVwriterClass, new TWVEncoderForm(this));
    // Every other writer with option rows gets the dialog built from them.
    for (size_t index = 0; index < encoders_->Count(); ++index) {
        const EncoderClass& writer = encoders_->Item(index);
        const WriterFacts* facts = writer.Facts();
        if (facts && !facts->dialog.rows.empty() && !optionsDialogs_.Find(writer))
            optionsDialogs_.Register(writer, new TEncoderForm(this, facts->dialog));
    }
    SetOptionsDialogs(&optionsDialogs_);

    setMinimumSize(575, 275);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void Tmainform::BuildControls() {
    struct Tool {
        const char* name;
        const char* icon;
        const char* text;
        const char* hint;
    };
    static const Tool tools[] = {
        {"addFile", "add", "Add file", "Add files to the conversion list"},
        {"addFolder", "addfolder", "Add folder", "Add files from folder to the list"},
        {"remove", "remove", "Remove", "Remove selected files from the list"},
        {"clear", "clear", "Clear", "Clear conversion list"},
        {"convert", "convert", "Convert", "Convert marked files"},
        {"properties", "properties", "Properties", ""},
        {"settings", "settings", "Settings", "Open Settings window"},
        {"help", "help", "Help", "Open Help file"},
    };
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(bar);
    for (const Tool& t : tools) {
        auto* action = new QAction(Icon(t.icon), QString::fromLatin1(t.text), this);
        action->setObjectName(QStringLiteral("tool_") + QLatin1String(t.name));
        action->setToolTip(QString::fromLatin1(t.hint));
        if (QLatin1String(t.name) == QLatin1String("addFile")) {
            // Its drop-down offers the other road for files: the tracks of an audio CD.
            addFileButton_ = new QToolButton(bar);
            addFileButton_->setObjectName(QStringLiteral("addFileButton"));
            addFileButton_->setDefaultAction(action);
            addFileButton_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            addFileButton_->setIconSize(QSize(32, 32));
            addFileButton_->setPopupMode(QToolButton::MenuButtonPopup);
            auto* menu = new QMenu(addFileButton_);
            QAction* cd = menu->addAction(QStringLiteral("Add Audio CD..."));
            cd->setObjectName(QStringLiteral("tool_addAudioCD"));
            connect(cd, &QAction::triggered, this, &Tmainform::AddAudioCD);
            addFileButton_->setMenu(menu);
            bar->addWidget(addFileButton_);
        } else if (QLatin1String(t.name) == QLatin1String("help")) {
            helpButton_ = new QToolButton(bar);
            helpButton_->setDefaultAction(action);
            helpButton_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            helpButton_->setIconSize(QSize(32, 32));
            helpButton_->setPopupMode(QToolButton::MenuButtonPopup);
            auto* menu = new QMenu(helpButton_);
            QAction* updates = menu->addAction(QStringLiteral("Check for Updates..."));
            updates->setObjectName(QStringLiteral("checkUpdates"));
            connect(updates, &QAction::triggered, this, &Tmainform::Checkupdates1Click);
            helpButton_->setMenu(menu);
            bar->addWidget(helpButton_);
        } else {
            bar->addAction(action);
        }
    }
    connect(Action(QStringLiteral("tool_properties")), &QAction::triggered, this,
            &Tmainform::FileProperties1Click);
    connect(Action(QStringLiteral("tool_settings")), &QAction::triggered, this,
            &Tmainform::settingsbuttonClick);
    connect(Action(QStringLiteral("tool_addFile")), &QAction::triggered, this, &Tmainform::AddFiles);
    connect(Action(QStringLiteral("tool_addFolder")), &QAction::triggered, this, &Tmainform::AddFolder1Click);
    connect(Action(QStringLiteral("tool_remove")), &QAction::triggered, this, &Tmainform::delete_);
    connect(Action(QStringLiteral("tool_clear")), &QAction::triggered, this, &Tmainform::Clear);
    connect(Action(QStringLiteral("tool_convert")), &QAction::triggered, this, &Tmainform::Convert);
    connect(Action(QStringLiteral("tool_help")), &QAction::triggered, this, &Tmainform::Contents1Click);

    auto* central = new QWidget(this);
    model_ = new TFilesModel(this);
    list_ = new TFilesView(model_, central);
    list_->setObjectName(QStringLiteral("list"));
    model_->OnChecked = [this] { validatecheckbox(); };
    model_->OnFilesDropped = [this](const QStringList& paths) { WMDropFiles(paths); };
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { validatecheckbox(); });
    connect(list_->Header(), &TListHeader::CheckBoxClicked, this, &Tmainform::HeaderCheckBoxClick);
    connect(list_->Header(), &QHeaderView::sectionClicked, this, &Tmainform::VSTHeaderClick);
    connect(list_, &QAbstractItemView::doubleClicked, this, [this] { FileProperties1Click(); });

    formatbox_ = new TFormatBox(central);
    button3_ = new QPushButton(QStringLiteral("Encoder options..."), central);
    button3_->setToolTip(QStringLiteral("Open Settings window for selected encoder"));
    path_ = new QLineEdit(central);
    selectpath_ = new QPushButton(QStringLiteral("Browse..."), central);
    selectpath_->setToolTip(QStringLiteral("Select Output folder for audio files"));
    openfolder_ = new QPushButton(QStringLiteral("Open Folder"), central);
    openfolder_->setToolTip(QStringLiteral("Open Output folder"));
    keepfolders_ = new QCheckBox(QStringLiteral("Keep the original directory structure"), central);
    samefolder_ = new QCheckBox(QStringLiteral("Convert files to the same folder as original file"), central);
    connect(button3_, &QPushButton::clicked, this, &Tmainform::Button3Click);
    connect(selectpath_, &QPushButton::clicked, this, &Tmainform::selectpathClick);
    connect(openfolder_, &QPushButton::clicked, this, &Tmainform::openfolderClick);
    connect(samefolder_, &QCheckBox::toggled, this, &Tmainform::samefolderClick);
    connect(keepfolders_, &QCheckBox::toggled, this, &Tmainform::keepfoldersClick);

    auto* grid = new QGridLayout(central);
    grid->addWidget(list_, 0, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Output Format:"), central), 1, 0);
    grid->addWidget(formatbox_, 1, 1);
    grid->addWidget(button3_, 1, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Output Folder:"), central), 2, 0);
    grid->addWidget(path_, 2, 1);
    grid->addWidget(selectpath_, 2, 2);
    grid->addWidget(openfolder_, 2, 3);
    grid->addWidget(keepfolders_, 3, 1);
    grid->addWidget(samefolder_, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    setCentralWidget(central);
    BuildListMenu();
}

void Tmainform::BuildListMenu() {
    auto* menu = new QMenu(this);
    auto add = [&](const char* name, const char* text, const QKeySequence& key, void (Tmainform::*slot)()) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        // Window-wide, so the keys work without opening the menu.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        if (slot) connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add("menu_add", "Add File...", QKeySequence(Qt::CTRL | Qt::Key_A), &Tmainform::AddFiles);
    add("menu_addcd", "Add Audio CD...", QKeySequence(), &Tmainform::AddAudioCD);
    add("menu_remove", "Remove File...", QKeySequence(Qt::Key_Delete), &Tmainform::delete_);
    add("menu_clear", "Clear All", QKeySequence(), &Tmainform::Clear);
    add("menu_properties", "File Properties", QKeySequence(Qt::CTRL | Qt::Key_P),
        &Tmainform::FileProperties1Click);
    menu->addSeparator();
    add("menu_convert", "Convert", QKeySequence(Qt::Key_F5), &Tmainform::Convert);
    add("menu_help", "Help", QKeySequence(Qt::Key_F1), &Tmainform::Contents1Click);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->popup(list_->viewport()->mapToGlobal(at)); });
}

QAction* Tmainform::Action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void Tmainform::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) QTimer::singleShot(0, this, &Tmainform::FormShow);
}

void Tmainform::FormShow() {
    if (shown_) return;
    shown_ = true;
    for (const QString& argument : arguments_) {
        const std::string path = argument.toStdString();
        // A CD device or cue sheet adds the disc's audio tracks.
        if (decoders_->IsSupported(path) || IsCDContainer(path)) addfile(path);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) folderQueue_.push_back(path);
    }
    if (!arguments_.isEmpty() && IsAutomateArgument(arguments_.first())) {
        automation_ = true;
        setWindowOpacity(0.0);
    }
    processfolder();
    // Only a plain start asks for updates, and only when there is somewhere to ask.
    if (Config.checkupdates && arguments_.isEmpty() && versionCheck_ &&
        !versionCheck_->addresses.url.isEmpty()) {
        versionCheck_->reportUpToDate = false;
        versionCheck_->Check();
    }
}

void Tmainform::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void Tmainform::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    WMDropFiles(paths);
}

void Tmainform::formatboxChange(int index) {
    if (index < 0) return;
    Config.codec = index;
    button3_->setEnabled(encoders_->Item(static_cast<size_t>(index)).HasOptions());
}

void Tmainform::Button3Click() {
    const int index = formatbox_->currentIndex();
    if (index < 0) return;
    const EncoderClass& writer = encoders_->Item(static_cast<size_t>(index));
    if (writer.HasOptions()) writer.ShowOptions();
}

void Tmainform::selectpathClick() {
    const QString folder = AskFolder(this, QStringLiteral("Select Directory"), Q(Config.output));
    if (folder.isEmpty()) return;
    Config.output = folder.toStdString();
    path_->setText(folder);
}

void Tmainform::openfolderClick() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path_->text()));
}

void Tmainform::samefolderClick(bool checked) {
    for (QWidget* w : {static_cast<QWidget*>(selectpath_), static_cast<QWidget*>(openfolder_),
                       static_cast<QWidget*>(path_), static_cast<QWidget*>(keepfolders_)})
        w->setEnabled(!checked);
    Config.samefolder = checked;
    if (checked) {
        if (settingsForm_) settingsForm_->openfolder()->setChecked(false);
        Config.openfolder = false;
        keepfolders_->setChecked(false);
        keepfolders_->setEnabled(false);
        Config.keepfolder = false;
    }
}

void Tmainform::keepfoldersClick(bool checked) {
    Config.keepfolder = checked;
    if (checked) samefolder_->setChecked(false);
}

void Tmainform::Contents1Click() {
    const QString file = helpFile_;
    if (!QFileInfo::exists(file) || !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("Wavetrove"),
                    QStringLiteral("Unable to open help file %1").arg(file));
}

void Tmainform::FileProperties1Click() {
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) return;
    propertiesForm_->setnode(rows.front());
    propertiesForm_->exec();
}

void Tmainform::Checkupdates1Click() {
    if (!versionCheck_) return;
    versionCheck_->reportUpToDate = true;
    versionCheck_->Check();
}

void Tmainform::settingsbuttonClick() {
    settingsForm_->ShowGeneral();
}

bool Tmainform::FormCloseQuery() {
    if (!Busy()) return true;
    ShowMessage(this, QMessageBox::Warning, QStringLiteral("Operation in progress"),
                QStringLiteral("Operation in progress. Please wait..."));
    return false;
}

void Tmainform::FormClose() {
    if (closed_) return;
    closed_ = true;
    folderQueue_.clear();
    Config.width = width();
    Config.height = height();
    for (int i = 0; i < 4; ++i) Config.col[static_cast<size_t>(i)] = list_->Header()->sectionSize(i);
    SaveSettings(Config);
    versionCheck_.reset();  // a running check is abandoned, silently
    intake_->ClearPending();
}

void Tmainform::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}
