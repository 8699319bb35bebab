// The base of every writer's option dialog: a fixed dialog with a bevel above "Ok" and "Cancel", centred
// on the main window when shown. A writer's dialog is built from its option rows (encoder/options.h): one
// grid row each, loaded from the settings on every show and stored into them only by "Ok".
#pragma once

#include <QDialog>
#include <span>

#include "encoder/options.h"

class QFrame;
class QPushButton;

class TEncoderForm : public QDialog {
    Q_OBJECT
  public:
    // `mainWindow` is what the dialog centres on; it is also the dialog's owner.
    explicit TEncoderForm(QWidget* mainWindow);
    // The dialog a writer's facts describe: its caption, object name, size and rows.
    TEncoderForm(QWidget* mainWindow, const OptionsDialogFacts& facts);

    // The writer's ShowOptions: `mode` and `caption` are for dialogs shared by several writers (0 and the
    // empty text otherwise, keeping the dialog's own caption).
    virtual void Prepare(int mode, const QString& caption);

    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QWidget* Body() const { return body_; }

  protected:
    // The fixed client size for dialogs that need more room than the base's 362 x 125.
    void SetClientSize(int width, int height);
    // Lays out one grid row per option row in Body() and binds the dialog to them.
    void BuildRows(std::span<const OptionRow> rows);
    // Binds the built controls to rows of the same shape over other settings (a shared dialog).
    void BindRows(std::span<const OptionRow> rows) { rows_ = rows; }
    // Base: every bound row's control from the settings (called on every show).
    virtual void LoadSettings();
    // Base: every bound row's control into the settings (called by "Ok" only).
    virtual void StoreSettings();
    void showEvent(QShowEvent* event) override;

    template <typename Control>
    Control* Find(const char* object) const {
        return findChild<Control*>(QLatin1String(object));
    }

  private:
    QWidget* mainWindow_;
    QWidget* body_;
    QFrame* bevel_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    std::span<const OptionRow> rows_;
};
