// The wait window shown while a folder scan runs: a moving bar and a Cancel button that stops the scan.
#pragma once

#include <QDialog>
#include <functional>

class QPushButton;
class QProgressBar;

class TWaitForm : public QDialog {
    Q_OBJECT
  public:
    explicit TWaitForm(QWidget* parent = nullptr);

    // Runs when Cancel is pressed (sets the scan stop flag and the conversion cancel flag).
    std::function<void()> OnCancel;
    // Closes the window; only the end of the scan does this.
    void Finish();
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override {}  // Esc does not close it

  private:
    QPushButton* cancel_;
    QProgressBar* bar_;
};
