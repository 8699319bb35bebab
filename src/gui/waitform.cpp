// Wait window of a folder scan.
#include "gui/waitform.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TWaitForm::TWaitForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      bar_(new QProgressBar(this)) {
    setObjectName(QStringLiteral("waitForm"));
    setWindowTitle(QStringLiteral("  Scanning the folder..."));
    setWindowModality(Qt::ApplicationModal);
    bar_->setRange(0, 0);  // an endless bar: Qt moves it on its own
    bar_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    layout->addLayout(buttons);
    setFixedSize(320, 90);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (OnCancel) OnCancel();
    });
}

void TWaitForm::Finish() {
    QDialog::reject();  // hides it; the window's own reject() ignores Esc
}

void TWaitForm::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        const QRect main = owner->frameGeometry();
        move(main.left() + (main.width() - width()) / 2, main.top() + (main.height() - height()) / 2);
    }
    QDialog::showEvent(event);
}

void TWaitForm::closeEvent(QCloseEvent* event) {
    event->ignore();
}
