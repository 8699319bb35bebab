// The overwrite question.
#include "gui/overwritedialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "wvt/frontend.h"

TOverwriteDialog::TOverwriteDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      yes_(new QPushButton(QStringLiteral("Yes"), this)),
      no_(new QPushButton(QStringLiteral("No"), this)),
      newName_(new QPushButton(QStringLiteral("Enter new name"), this)),
      applyToAll_(new QCheckBox(QStringLiteral("Apply action to the all files"), this)),
      file_(new QLabel(this)) {
    setObjectName(QStringLiteral("overwriteQuestion"));
    setWindowTitle(QStringLiteral("Output file already exists"));
    setModal(true);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    auto* title =
        new QLabel(QStringLiteral("Output file already exists. Would you like to overwrite it?"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    title->setFont(big);
    title->setStyleSheet(QStringLiteral("color: #1F3C88"));
    title->setWordWrap(true);
    file_->setWordWrap(true);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(file_);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(applyToAll_);
    buttons->addStretch();
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    buttons->addWidget(newName_);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* footer = new QLabel(QStringLiteral("You can change the default action in program settings."), this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addWidget(line);
    layout->addWidget(footer);
    setMinimumWidth(480);

    yes_->setDefault(true);
    connect(yes_, &QPushButton::clicked, this, [this] { done(OVERWRITE_YES); });
    connect(no_, &QPushButton::clicked, this, [this] { done(OVERWRITE_NO); });
    connect(newName_, &QPushButton::clicked, this, [this] { done(OVERWRITE_NEW_NAME); });
}

int TOverwriteDialog::Ask(const QString& outputName, bool& applyToAll) {
    file_->setText(outputName);
    applyToAll_->setChecked(applyToAll);
    adjustSize();
    int answer = exec();
    // exec() can only end through the three buttons; anything else would be a bug, answered as "No".
    if (answer != OVERWRITE_YES && answer != OVERWRITE_NO && answer != OVERWRITE_NEW_NAME)
        answer = OVERWRITE_NO;
    applyToAll = applyToAll_->isChecked();
    return answer;
}

void TOverwriteDialog::closeEvent(QCloseEvent* event) {
    event->ignore();  // the buttons end it through done(), which does not pass here
}

void TOverwriteDialog::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        const QRect main = owner->window()->frameGeometry();
        move(main.left() + (main.width() - width()) / 2, main.top() + (main.height() - height()) / 2);
    }
    QDialog::showEvent(event);
}
