// The settings window: the program-wide options that belong to no output format (what happens after a
// conversion, folder scanning, tags and dates, the update check, the worker threads, existing output files).
// Every control writes its field of the live settings the moment it changes; "Ok" only closes the window.
#pragma once

#include <QDialog>
#include <QSpinBox>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// The worker-thread count: digits only, and whatever was typed is held between the limits when the field
// loses the focus (text that is no number reads as the minimum).
class TThreadCountBox : public QSpinBox {
    Q_OBJECT
  public:
    using QSpinBox::QSpinBox;

  protected:
    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;
    void keyPressEvent(QKeyEvent* event) override;
};

class Tsettingsform : public QDialog {
    Q_OBJECT
  public:
    // Reads the settings record, which must be loaded; `fileVersion` goes on the about page.
    Tsettingsform(const QString& fileVersion, QWidget* parent = nullptr);

    // Selects "General", keeps the selection visible and shows the window without blocking its owner.
    void ShowGeneral();

    QTreeWidget* NavTreeView1() const { return nav_; }
    QStackedWidget* Pages() const { return pages_; }
    QCheckBox* openfolder() const { return openfolder_; }
    QCheckBox* recurse() const { return recurse_; }
    QCheckBox* tags() const { return tags_; }
    QCheckBox* retaindate() const { return retaindate_; }
    QCheckBox* Checkupdates() const { return checkupdates_; }
    QComboBox* threadpriority() const { return threadpriority_; }
    TThreadCountBox* threadscount() const { return threadscount_; }
    QRadioButton* OverwriteButton(int value) const;
    QLabel* Label11() const { return label11_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void FormCreate(const QString& fileVersion);
    void NavTreeView1Change(QTreeWidgetItem* current);
    void threadpriorityChange(int index);
    void threadscountChange(int value);
    void overwritebuttonClick(int value);

    QTreeWidget* nav_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QCheckBox* openfolder_ = nullptr;
    QCheckBox* recurse_ = nullptr;
    QCheckBox* tags_ = nullptr;
    QCheckBox* retaindate_ = nullptr;
    QCheckBox* checkupdates_ = nullptr;
    QComboBox* threadpriority_ = nullptr;
    TThreadCountBox* threadscount_ = nullptr;
    QButtonGroup* overwrite_ = nullptr;
    QLabel* label11_ = nullptr;
    QPushButton* ok_ = nullptr;
};
