// The settings window's pages and the handlers that copy each control into the settings record.
#include "gui/settingsform.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/icons.h"
#include "wvt/config.h"
#include "wvt/settings.h"

QValidator::State TThreadCountBox::validate(QString& text, int&) const {
    const QString body = text.trimmed();
    if (body.isEmpty()) return QValidator::Intermediate;
    const QChar decimal =
        locale().decimalPoint().isEmpty() ? QLatin1Char('.') : locale().decimalPoint().front();
    for (const QChar c : body)
        if (!c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-') && c != decimal)
            return QValidator::Invalid;
    bool ok = false;
    const int value = body.toInt(&ok);
    // Out of range or not yet a number: kept while typing, held to the limits when the field is left.
    return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void TThreadCountBox::fixup(QString& text) const {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    long long held = ok ? value : minimum();
    if (held < minimum()) held = minimum();
    if (held > maximum()) held = maximum();
    text = QString::number(held);
}

void TThreadCountBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.front().isPrint()) {
        const QChar decimal =
            locale().decimalPoint().isEmpty() ? QLatin1Char('.') : locale().decimalPoint().front();
        const QChar c = typed.front();
        if (!c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-') && c != decimal) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QSpinBox::keyPressEvent(event);
}

Tsettingsform::Tsettingsform(const QString& fileVersion, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("settingsform"));
    setWindowTitle(QStringLiteral("Settings"));
    // A fixed frame with the close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);

    nav_ = new QTreeWidget(this);
    nav_->setObjectName(QStringLiteral("NavTreeView1"));
    nav_->setHeaderHidden(true);
    nav_->setRootIsDecorated(false);
    nav_->setItemsExpandable(false);
    nav_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    nav_->setSelectionBehavior(QAbstractItemView::SelectRows);
    nav_->setSelectionMode(QAbstractItemView::SingleSelection);
    nav_->setIconSize(QSize(16, 16));
    nav_->setFixedWidth(140);
    struct Entry {
        const char* text;
        const char* icon;
    };
    for (const Entry& e :
         {Entry{"General", "settings"}, Entry{"Performance", "noun-slow-2007257"},
          Entry{"Overwrite", "refresh-reload-update-svgrepo-com"}, Entry{"About", "info-svgrepo-com"}}) {
        auto* item = new QTreeWidgetItem(nav_, QStringList{QString::fromLatin1(e.text)});
        item->setIcon(0, SelectableIcon(e.icon));
    }

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));

    auto* general = new QWidget(pages_);
    auto* generalLayout = new QVBoxLayout(general);
    auto box = [&](QCheckBox*& target, const char* name, const char* text, bool config::*field) {
        target = new QCheckBox(QString::fromLatin1(text), general);
        target->setObjectName(QLatin1String(name));
        generalLayout->addWidget(target);
        // toggled, not clicked: setting a box from code writes its field as a click does.
        connect(target, &QCheckBox::toggled, this, [field](bool checked) { Config.*field = checked; });
    };
    box(openfolder_, "openfolder", "Open the output folder when finished", &config::openfolder);
    box(recurse_, "recurse", "Search Audio files in Subfolders", &config::recurse);
    box(tags_, "tags", "Copy Audio Tags to the output file", &config::tags);
    box(retaindate_, "retaindate", "Retain the original date/time of audio file", &config::retaindate);
    box(checkupdates_, "Checkupdates", "Check for updates at startup", &config::checkupdates);
    generalLayout->addStretch(1);
    pages_->addWidget(general);

    auto* performance = new QWidget(pages_);
    auto* performanceLayout = new QGridLayout(performance);
    threadpriority_ = new QComboBox(performance);
    threadpriority_->setObjectName(QStringLiteral("threadpriority"));
    threadpriority_->addItems({QStringLiteral("Idle"), QStringLiteral("Lowest"), QStringLiteral("Lower"),
                               QStringLiteral("Normal"), QStringLiteral("Higher"), QStringLiteral("Highest"),
                               QStringLiteral("Time Critical ")});
    threadscount_ = new TThreadCountBox(performance);
    threadscount_->setObjectName(QStringLiteral("threadscount"));
    threadscount_->setSingleStep(1);
    threadscount_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    performanceLayout->addWidget(new QLabel(QStringLiteral("Thread Priority:"), performance), 0, 0);
    performanceLayout->addWidget(threadpriority_, 0, 1);
    performanceLayout->addWidget(new QLabel(QStringLiteral("Number of worker threads:"), performance), 1, 0);
    performanceLayout->addWidget(threadscount_, 1, 1);
    performanceLayout->setRowStretch(2, 1);
    performanceLayout->setColumnStretch(2, 1);
    pages_->addWidget(performance);

    auto* overwrite = new QWidget(pages_);
    auto* overwriteLayout = new QVBoxLayout(overwrite);
    overwriteLayout->addWidget(new QLabel(QStringLiteral("If output files already exists:"), overwrite));
    overwrite_ = new QButtonGroup(this);
    struct Choice {
        const char* name;
        const char* text;
    };
    const Choice choices[] = {{"overwritebutton", "Overwrite it"},
                              {"skipButton", "Skip conversion for this file"},
                              {"askButton", "Ask the user what to do"},
                              {"renameButton", "Rename it by adding a number to the file name"}};
    for (int value = 0; value < 4; ++value) {
        auto* button = new QRadioButton(QString::fromLatin1(choices[value].text), overwrite);
        button->setObjectName(QLatin1String(choices[value].name));
        overwrite_->addButton(button, value);  // the id carries the setting's value
        overwriteLayout->addWidget(button);
    }
    overwriteLayout->addStretch(1);
    pages_->addWidget(overwrite);

    auto* about = new QWidget(pages_);
    auto* aboutLayout = new QHBoxLayout(about);
    auto* logo = new QLabel(about);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setFixedSize(44, 44);
    logo->setPixmap(NamedIcon("wavetrove").pixmap(44, 44));
    logo->setScaledContents(true);
    auto* texts = new QVBoxLayout;
    auto* product = new QLabel(QStringLiteral("Wavetrove"), about);
    QFont productFont(QStringLiteral("Arial"), 10);
    productFont.setBold(true);
    product->setFont(productFont);
    product->setStyleSheet(QStringLiteral("color: navy"));
    label11_ = new QLabel(about);
    label11_->setObjectName(QStringLiteral("Label11"));
    texts->addWidget(product);
    texts->addWidget(label11_);
    texts->addStretch(1);
    aboutLayout->addWidget(logo, 0, Qt::AlignTop);
    aboutLayout->addLayout(texts, 1);
    pages_->addWidget(about);

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setObjectName(QStringLiteral("iceBtn1"));
    connect(ok_, &QPushButton::clicked, this, &QDialog::close);

    auto* top = new QHBoxLayout;
    top->addWidget(nav_);
    top->addWidget(pages_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    pages_->setMinimumSize(360, 190);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate(fileVersion);

    connect(nav_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { NavTreeView1Change(current); });
    connect(threadpriority_, &QComboBox::currentIndexChanged, this, &Tsettingsform::threadpriorityChange);
    connect(threadscount_, &QSpinBox::valueChanged, this, &Tsettingsform::threadscountChange);
    connect(overwrite_, &QButtonGroup::idClicked, this, &Tsettingsform::overwritebuttonClick);
}

void Tsettingsform::FormCreate(const QString& fileVersion) {
    const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    const int height = qRound(20 * dpi / 96.0);
    for (int i = 0; i < nav_->topLevelItemCount(); ++i)
        nav_->topLevelItem(i)->setSizeHint(0, QSize(-1, height));

    // The boxes' handlers are connected already, so each writes its (unchanged) field back.
    openfolder_->setChecked(Config.openfolder);
    recurse_->setChecked(Config.recurse);
    tags_->setChecked(Config.tags);
    checkupdates_->setChecked(Config.checkupdates);
    retaindate_->setChecked(Config.retaindate);

    label11_->setText(QStringLiteral("Version ") + fileVersion);

    // A stored value outside the choices checks no button and stays until the user picks one.
    if (QAbstractButton* button = overwrite_->button(Config.overwrite)) button->setChecked(true);

    const int processors = ProcessorCount();
    threadscount_->setRange(1, processors);
    if (Config.threadscount > processors) Config.threadscount = processors;
    if (Config.threadscount < 1) Config.threadscount = 1;

    // Out of range selects nothing (index -1) and leaves the field alone.
    threadpriority_->setCurrentIndex(
        Config.priority >= 0 && Config.priority < threadpriority_->count() ? Config.priority : -1);
    threadscount_->setValue(Config.threadscount);
}

QRadioButton* Tsettingsform::OverwriteButton(int value) const {
    return qobject_cast<QRadioButton*>(overwrite_->button(value));
}

void Tsettingsform::ShowGeneral() {
    nav_->setCurrentItem(nav_->topLevelItem(0));
    pages_->setCurrentIndex(0);
    if (!isVisible() && parentWidget()) {
        adjustSize();
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void Tsettingsform::NavTreeView1Change(QTreeWidgetItem* current) {
    if (!current || current->parent()) return;
    pages_->setCurrentIndex(nav_->indexOfTopLevelItem(current));
}

void Tsettingsform::threadpriorityChange(int index) {
    if (index >= 0) Config.priority = index;
}

void Tsettingsform::threadscountChange(int value) {
    Config.threadscount = value;
}

void Tsettingsform::overwritebuttonClick(int value) {
    Config.overwrite = value;
}
