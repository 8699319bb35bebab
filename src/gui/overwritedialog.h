// The overwrite question asked when an output file already exists: Yes, No or Enter new name, with the
// "Apply action to the all files" box. One of the three buttons must be pressed.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

class TOverwriteDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TOverwriteDialog(QWidget* parent = nullptr);

    // Shows the question modally for `outputName`; answers 106 (Yes), 107 (No) or 102 (Enter new name).
    // `applyToAll` sets the box before and takes its state after.
    int Ask(const QString& outputName, bool& applyToAll);

    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }
    QPushButton* NewNameButton() const { return newName_; }
    QCheckBox* ApplyToAll() const { return applyToAll_; }

  protected:
    void reject() override {}  // Esc does nothing
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QPushButton* yes_;
    QPushButton* no_;
    QPushButton* newName_;
    QCheckBox* applyToAll_;
    class QLabel* file_;
};
