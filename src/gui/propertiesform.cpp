// The file properties window: reading a file's format and tags through the source registry, the table's
// groups and colours, and the steps through the list.
#include "gui/propertiesform.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "decoder/manager.h"
#include "decoder/reader.h"
#include "gui/fileslist.h"
#include "gui/icons.h"

namespace {

struct Group {
    const char* name;
    const char* icon;
    int first;  // index of the group's first value text
    std::array<const char*, 5> labels;
    int count;
};

const Group kGroups[] = {
    {"Audio format",
     "volume-high_4",
     0,
     {"Format", "Sample Rate", "Channels", "Bits per sample", nullptr},
     4},
    {"Meta Data", "tag-svgrepo-com", 5, {"Title", "Artist", "Album", "Year", "Genre"}, 5},
};

const QColor kGroupBackground(0x41, 0x6C, 0x99);
const QColor kOddBackground(0xFA, 0xFA, 0xE1);

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QString ChannelsText(int channels) {
    if (channels == 6) return QStringLiteral("5.1");
    if (channels == 8) return QStringLiteral("7.1");
    return QString::number(channels);
}

void TPropertiesTree::keyboardSearch(const QString& search) {
    if (!sinceKey_.isValid() || sinceKey_.elapsed() > 500) typed_.clear();
    sinceKey_.start();
    typed_ += search;
    // Every row, groups and entries, from the top.
    QTreeWidgetItemIterator it(this);
    for (; *it; ++it) {
        if ((*it)->text(0).startsWith(typed_, Qt::CaseInsensitive)) {
            setCurrentItem(*it);
            scrollToItem(*it);
            return;
        }
    }
}

TPropertiesForm::TPropertiesForm(const TDecManager& decoders, const TFilesModel& list, QWidget* parent)
    : QDialog(parent), decoders_(decoders), list_(list) {
    setObjectName(QStringLiteral("PropertiesForm"));
    setWindowTitle(QStringLiteral("File Properties"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    vst3_ = new TPropertiesTree(this);
    vst3_->setObjectName(QStringLiteral("VST3"));
    vst3_->setColumnCount(2);
    vst3_->setHeaderLabels({QStringLiteral("Properties"), QStringLiteral("Values")});
    vst3_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vst3_->setSelectionBehavior(QAbstractItemView::SelectRows);
    vst3_->setIconSize(QSize(16, 16));
    vst3_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    vst3_->header()->resizeSection(0, 170);
    vst3_->header()->setStretchLastSection(true);

    prev_ = new QPushButton(QStringLiteral("<<"), this);
    prev_->setObjectName(QStringLiteral("prevButton"));
    prev_->setToolTip(QStringLiteral("Previous file"));
    next_ = new QPushButton(QStringLiteral(">>"), this);
    next_->setObjectName(QStringLiteral("nextButton"));
    next_->setToolTip(QStringLiteral("Next file"));
    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setObjectName(QStringLiteral("Button1"));
    ok_->setToolTip(QStringLiteral("Close window"));
    connect(prev_, &QPushButton::clicked, this, &TPropertiesForm::prevButtonClick);
    connect(next_, &QPushButton::clicked, this, &TPropertiesForm::nextButtonClick);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    // Enter in the table must not close the window through a default button.
    for (QPushButton* b : {prev_, next_, ok_}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prev_);
    buttons->addWidget(next_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(vst3_, 1);
    layout->addLayout(buttons);
    setFixedSize(440, 340);
    BuildTable();
}

int TPropertiesForm::CurrentRow() const {
    return node_ == 0 ? -1 : list_.RowOfNode(node_);
}

void TPropertiesForm::setnode(int row) {
    if (row < 0 || row >= list_.rowCount()) return;
    const TListRow& listed = list_.Rows()[static_cast<size_t>(row)];
    node_ = listed.node;
    item_ = listed.item;
    vst3_->clear();

    values_.fill(QString());
    std::error_code error;
    const std::filesystem::path path(item_.path);
    // CD tracks are named by their drive or image and are no files on disk.
    const bool track =
        QFileInfo(Q(item_.path)).suffix().compare(QStringLiteral("cda"), Qt::CaseInsensitive) == 0;
    if (std::filesystem::is_regular_file(path, error) || track) ReadProperties(item_.path);
    // The row's own name also when its file is gone, so the caption never names another file.
    setWindowTitle(Q(path.filename().string()));

    BuildTable();
    prev_->setEnabled(row > 0);
    next_->setEnabled(row + 1 < list_.rowCount());
}

void TPropertiesForm::ReadProperties(const std::string& path) {
    values_.fill(QString());
    std::unique_ptr<TDecoder> source;
    try {
        source = decoders_.OpenFile(path);
    } catch (const std::exception&) {
        return;  // a file no source can read shows empty values, without a message
    }
    if (!source || !source->IsValid()) return;
    TagFrame tags;
    try {
        source->GetTags(tags);
    } catch (const std::exception&) {
        tags.Clear();
    }
    values_[0] = Q(source->GetCodecName());
    values_[1] = QString::number(source->GetSampleRate()) + QStringLiteral(" Hz");
    values_[2] = ChannelsText(source->GetChannels());
    values_[3] = QString::number(source->GetBitsPerSample());
    values_[5] = Q(tags.title);
    values_[6] = Q(tags.artist);
    values_[7] = Q(tags.album);
    values_[8] = tags.year == "0" ? QString() : Q(tags.year);
    values_[9] = Q(tags.genre);
}

void TPropertiesForm::BuildTable() {
    vst3_->clear();
    QFont bold = vst3_->font();
    bold.setBold(true);
    for (const Group& group : kGroups) {
        auto* top = new QTreeWidgetItem(vst3_, QStringList{QString::fromLatin1(group.name)});
        top->setIcon(0, WhiteIcon(group.icon));
        for (int column = 0; column < 2; ++column) {
            top->setBackground(column, kGroupBackground);
            top->setForeground(column, Qt::white);
            top->setFont(column, bold);
        }
        for (int i = 0; i < group.count; ++i) {
            auto* entry = new QTreeWidgetItem(
                top, QStringList{QString::fromLatin1(group.labels[static_cast<size_t>(i)]),
                                 values_[static_cast<size_t>(group.first + i)]});
            entry->setIcon(0, SelectableIcon("chevron"));
            const QColor background = i % 2 == 1 ? kOddBackground : QColor(Qt::white);
            for (int column = 0; column < 2; ++column) {
                entry->setBackground(column, background);
                entry->setForeground(column, Qt::black);
            }
        }
        top->setExpanded(true);
    }
}

QString TPropertiesForm::Value(const QString& label) const {
    for (QTreeWidgetItemIterator it(vst3_); *it; ++it)
        if ((*it)->parent() && (*it)->text(0) == label) return (*it)->text(1);
    return {};
}

void TPropertiesForm::prevButtonClick() {
    const int row = CurrentRow();
    if (row > 0) setnode(row - 1);
}

void TPropertiesForm::nextButtonClick() {
    const int row = CurrentRow();
    if (row >= 0 && row + 1 < list_.rowCount()) setnode(row + 1);
}

void TPropertiesForm::FormClose() {
    values_.fill(QString());
}

void TPropertiesForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TPropertiesForm::done(int result) {
    FormClose();
    QDialog::done(result);
}
