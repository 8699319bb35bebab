// Option dialog base.
#include "gui/encoderform.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TEncoderForm::TEncoderForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      mainWindow_(mainWindow),
      body_(new QWidget(this)),
      bevel_(new QFrame(this)),
      okButton_(new QPushButton(QStringLiteral("Ok"), this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Encoder options"));
    setModal(true);
    bevel_->setFrameShape(QFrame::HLine);
    bevel_->setFrameShadow(QFrame::Sunken);
    okButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(body_, 1);
    layout->addWidget(bevel_);
    layout->addLayout(buttons);
    SetClientSize(362, 125);

    connect(okButton_, &QPushButton::clicked, this, [this] {
        StoreSettings();
        accept();
    });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void TEncoderForm::Prepare(int, const QString& caption) {
    if (!caption.isEmpty()) setWindowTitle(caption);
}

void TEncoderForm::SetClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TEncoderForm::showEvent(QShowEvent* event) {
    if (mainWindow_) {
        const QRect main = mainWindow_->frameGeometry();
        // Integer division truncating toward zero, as C++ does.
        move(main.left() + (main.width() - frameGeometry().width()) / 2,
             main.top() + (main.height() - frameGeometry().height()) / 2);
    }
    LoadSettings();
    okButton_->setFocus();
    QDialog::showEvent(event);
}
