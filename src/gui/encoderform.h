// The base of every writer's option dialog: a fixed dialog with a bevel above "Ok" and "Cancel", centred
// on the main window when shown. Derived dialogs put their controls into Body(), load the settings in
// LoadSettings (called on every show) and store them in StoreSettings (called only by "Ok").
#pragma once

#include <QDialog>

class QFrame;
class QPushButton;

class TEncoderForm : public QDialog {
    Q_OBJECT
  public:
    // `mainWindow` is what the dialog centres on; it is also the dialog's owner.
    explicit TEncoderForm(QWidget* mainWindow);

    // The writer's ShowOptions: `mode` and `caption` are for dialogs shared by several writers (0 and the
    // empty text otherwise, keeping the dialog's own caption).
    virtual void Prepare(int mode, const QString& caption);

    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QWidget* Body() const { return body_; }

  protected:
    // The fixed client size for dialogs that need more room than the base's 362 x 125.
    void SetClientSize(int width, int height);
    virtual void LoadSettings() {}
    virtual void StoreSettings() {}
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* mainWindow_;
    QWidget* body_;
    QFrame* bevel_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};
