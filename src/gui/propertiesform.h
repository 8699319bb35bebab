// The file properties window: the audio format and tags of one row's file in a two-level table, read
// afresh from the file each time a row is shown, with steps to the previous and next row of the list.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <array>
#include <cstdint>

#include "wvt/filesitem.h"

class QPushButton;
class TDecManager;
class TFilesModel;

// The table: typing finds a row by the start of its label (keys up to 500 ms apart make one search).
class TPropertiesTree : public QTreeWidget {
    Q_OBJECT
  public:
    using QTreeWidget::QTreeWidget;
    void keyboardSearch(const QString& search) override;

  private:
    QString typed_;
    QElapsedTimer sinceKey_;
};

// The value text of Channels.
QString ChannelsText(int channels);

class TPropertiesForm : public QDialog {
    Q_OBJECT
  public:
    TPropertiesForm(const TDecManager& decoders, const TFilesModel& list, QWidget* parent = nullptr);

    // Shows the list row `row`; a row outside the list does nothing.
    void setnode(int row);
    // The row shown, in the list's current order, or -1.
    int CurrentRow() const;

    TPropertiesTree* VST3() const { return vst3_; }
    QPushButton* prevButton() const { return prev_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* Button1() const { return ok_; }
    // The value shown for `label` ("Format", "Year", ...), or a null text when there is no such entry.
    QString Value(const QString& label) const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

  private:
    void ReadProperties(const std::string& path);
    void BuildTable();
    void prevButtonClick();
    void nextButtonClick();
    void FormClose();

    const TDecManager& decoders_;
    const TFilesModel& list_;
    TPropertiesTree* vst3_ = nullptr;
    QPushButton* prev_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* ok_ = nullptr;
    uint64_t node_ = 0;  // the row shown, by identity, so sorting and dragging keep it
    TFilesItem item_;
    std::array<QString, 10> values_;  // Format, Sample Rate, Channels, Bits, (spare), Title ... Genre
};
