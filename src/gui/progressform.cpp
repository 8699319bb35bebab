// Progress window and conversion log.
#include "gui/progressform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      overallLabel_(new QLabel(QStringLiteral("Overall Progress"), this)),
      overallProgress_(new QProgressBar(this)),
      logLabel_(new QLabel(QStringLiteral("Conversion Log"), this)),
      logMemo_(new QPlainTextEdit(this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)),
      button1_(new QPushButton(QStringLiteral("Minimize"), this)),
      timer1_(new QTimer(this)) {
    setObjectName(QStringLiteral("progressForm"));
    setWindowTitle(QStringLiteral("Progress..."));
    setWindowModality(Qt::ApplicationModal);
    overallProgress_->setRange(0, 100);
    overallProgress_->setTextVisible(false);
    logMemo_->setReadOnly(true);
    logMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    logMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(overallLabel_);
    layout->addWidget(overallProgress_);
    layout->addWidget(logLabel_);
    layout->addWidget(logMemo_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button1_);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);
    resize(460, 320);

    timer1_->setInterval(100);
    connect(timer1_, &QTimer::timeout, this, &TProgressForm::Timer1Timer);
    connect(cancelButton_, &QPushButton::clicked, this, &TProgressForm::CancelButtonClick);
    connect(button1_, &QPushButton::clicked, this, &TProgressForm::Button1Click);
}

QString TProgressForm::OverallText(double percent) {
    return QStringLiteral("Overall Progress (") + QLocale().toString(percent, 'f', 2) + QStringLiteral("%)");
}

QString TProgressForm::Now() const {
    return QLocale().toString(QTime::currentTime(), QLocale::LongFormat);
}

void TProgressForm::AppendLog(const QString& line) {
    logMemo_->appendPlainText(line);
}

void TProgressForm::StartProgress() {
    if (QWidget* owner = parentWidget()) {
        const QRect main = owner->frameGeometry();
        move(main.left() + (main.width() - frameGeometry().width()) / 2,
             main.top() + (main.height() - frameGeometry().height()) / 2);
    }
    overallLabel_->setText(QStringLiteral("Overall Progress 0%"));
    logMemo_->clear();
    overallProgress_->setValue(0);
    AppendLog(QStringLiteral("Conversion started at: ") + Now());
    cancelButton_->setText(QStringLiteral("Cancel"));
    timer1_->start();
}

void TProgressForm::Timer1Timer() {
    const double p = readings_.progress ? readings_.progress() : 0.0;
    totalSkipped_ = readings_.skipped ? readings_.skipped() : 0;
    totalFailed_ = readings_.failed ? readings_.failed() : 0;
    // Halves go to the even neighbour, as the default rounding mode does.
    overallProgress_->setValue(static_cast<int>(std::nearbyint(p)));
    overallLabel_->setText(OverallText(p));
}

void TProgressForm::FinishProgress() {
    Timer1Timer();
    timer1_->stop();
    cancelButton_->setText(QStringLiteral("Ok"));
    const int queued = readings_.queued ? readings_.queued() : 0;
    AppendLog(QStringLiteral("Conversion finished at: ") + Now());
    AppendLog(QStringLiteral("Processed %1 file(s).").arg(queued));
    AppendLog(QStringLiteral("Skipped existing %1 file(s).").arg(totalSkipped_));
    AppendLog(QStringLiteral("Failed to convert %1 file(s).").arg(totalFailed_));
    overallLabel_->setText(QStringLiteral("Overall Progress (100%)"));
    overallProgress_->setValue(100);
    if (QWidget* owner = parentWidget()) QApplication::alert(owner->window(), 0);
}

void TProgressForm::CancelButtonClick() {
    if (OnCancel) OnCancel();
    QDialog::reject();  // hides it, ending the modal display
}

void TProgressForm::Button1Click() {
    // The whole program goes to the taskbar; the conversion goes on.
    if (QWidget* owner = parentWidget()) owner->window()->showMinimized();
    showMinimized();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // no close box: only the button closes it
}
