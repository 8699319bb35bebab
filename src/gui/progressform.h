// The progress window of a conversion: the overall percentage as text and bar, the conversion log,
// Cancel (captioned "Ok" once the summary is written) and Minimize; a 100 ms timer reads the workers'
// shared counters.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// What the window reads each tick; the conversion engine supplies it.
struct TProgressReadings {
    std::function<double()> progress;  // sum over the workers, 0..100
    std::function<int()> skipped;
    std::function<int()> failed;
    std::function<int()> queued;  // N, the files queued by Convert
};

class TProgressForm : public QDialog {
    Q_OBJECT
  public:
    explicit TProgressForm(QWidget* parent = nullptr);

    void SetReadings(TProgressReadings readings) { readings_ = std::move(readings); }
    // Runs when Cancel (or "Ok") is pressed: sets the conversion cancel and scan stop flags.
    std::function<void()> OnCancel;

    void StartProgress();
    void Timer1Timer();
    void FinishProgress();
    void AppendLog(const QString& line);

    QLabel* OverallLabel() const { return overallLabel_; }
    QProgressBar* OverallProgress() const { return overallProgress_; }
    QPlainTextEdit* LogMemo() const { return logMemo_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QPushButton* MinimizeButton() const { return button1_; }
    QTimer* Timer() const { return timer1_; }

    // "Overall Progress (37.50%)" in the current locale.
    static QString OverallText(double percent);

  protected:
    void reject() override {}  // Esc does not close it: Cancel does
    void closeEvent(QCloseEvent* event) override;

  private:
    void CancelButtonClick();
    void Button1Click();
    QString Now() const;

    QLabel* overallLabel_;
    QProgressBar* overallProgress_;
    QLabel* logLabel_;
    QPlainTextEdit* logMemo_;
    QPushButton* cancelButton_;
    QPushButton* button1_;
    QTimer* timer1_;
    TProgressReadings readings_;
    int totalSkipped_ = 0;
    int totalFailed_ = 0;
};
