// The "Add Audio CD" dialog; see cdform.h.
#include "gui/cdform.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "wvt/config.h"
#include "gui/messages.h"

namespace {

QString DiscText(const CDDriveInfo& drive) {
    if (!drive.hasDisc) return QStringLiteral("No disc");
    if (drive.audioTracks == 0) return QStringLiteral("No audio tracks");
    return QStringLiteral("%1 audio track%2, %3:%4")
        .arg(drive.audioTracks)
        .arg(drive.audioTracks == 1 ? "" : "s")
        .arg(drive.seconds / 60)
        .arg(drive.seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TCDForm::TCDForm(QWidget* parent, DriveLister lister) : QDialog(parent), lister_(std::move(lister)) {
    setWindowTitle(QStringLiteral("Add Audio CD"));
    setObjectName(QStringLiteral("cdform"));
    drives_ = new QTreeWidget(this);
    drives_->setObjectName(QStringLiteral("drives"));
    drives_->setHeaderLabels({QStringLiteral("Drive"), QStringLiteral("Model"), QStringLiteral("Disc")});
    drives_->setRootIsDecorated(false);
    drives_->setSelectionMode(QAbstractItemView::SingleSelection);
    drives_->header()->setStretchLastSection(true);
    noDrive_ = new QLabel(QStringLiteral("No CD drive found."), this);
    noDrive_->setObjectName(QStringLiteral("nodrive"));
    noDrive_->setAlignment(Qt::AlignCenter);
    image_ = new QPushButton(QStringLiteral("CD image..."), this);
    image_->setObjectName(QStringLiteral("image"));
    add_ = new QPushButton(QStringLiteral("Add"), this);
    add_->setObjectName(QStringLiteral("add"));
    add_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(image_);
    buttons->addStretch(1);
    buttons->addWidget(add_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(drives_, 1);
    layout->addWidget(noDrive_, 1);
    layout->addLayout(buttons);
    resize(520, 240);

    connect(drives_, &QTreeWidget::itemSelectionChanged, this, &TCDForm::UpdateAddButton);
    connect(drives_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (add_->isEnabled()) AddClick();
    });
    connect(add_, &QPushButton::clicked, this, &TCDForm::AddClick);
    connect(image_, &QPushButton::clicked, this, &TCDForm::ImageClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList TCDForm::Choose() {
    chosen_.clear();
    Refresh();
    if (exec() != QDialog::Accepted) return {};
    return chosen_;
}

void TCDForm::Refresh() {
    shown_ = lister_ ? lister_() : std::vector<CDDriveInfo>{};
    drives_->clear();
    for (const CDDriveInfo& drive : shown_) {
        QString model = QString::fromStdString(drive.vendor);
        if (!drive.model.empty()) model += (model.isEmpty() ? "" : " ") + QString::fromStdString(drive.model);
        auto* item =
            new QTreeWidgetItem(drives_, {QString::fromStdString(drive.device), model, DiscText(drive)});
        item->setDisabled(!drive.hasDisc || drive.audioTracks == 0);
    }
    drives_->setVisible(!shown_.empty());
    noDrive_->setVisible(shown_.empty());
    // The first drive that holds an audio CD is preselected.
    for (int i = 0; i < drives_->topLevelItemCount(); ++i) {
        if (!drives_->topLevelItem(i)->isDisabled()) {
            drives_->setCurrentItem(drives_->topLevelItem(i));
            break;
        }
    }
    UpdateAddButton();
}

void TCDForm::UpdateAddButton() {
    const QTreeWidgetItem* item = drives_->currentItem();
    add_->setEnabled(item != nullptr && item->isSelected() && !item->isDisabled());
}

void TCDForm::AddClick() {
    const int row = drives_->indexOfTopLevelItem(drives_->currentItem());
    if (row < 0 || static_cast<size_t>(row) >= shown_.size()) return;
    chosen_ = {QString::fromStdString(shown_[static_cast<size_t>(row)].device)};
    accept();
}

void TCDForm::ImageClick() {
    const QStringList images =
        AskOpenFiles(this, QStringLiteral("Open CD image"), QString::fromStdString(Config.recent),
                     QStringLiteral("CD Images (*.cue)|*.cue"));
    if (images.isEmpty()) return;
    chosen_ = images;
    accept();
}
