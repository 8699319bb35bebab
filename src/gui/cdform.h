// The "Add Audio CD" dialog: the system's CD drives with their discs to pick one from, or a CD image (.cue)
// to open instead.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

#include "decoder/cddrives.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TCDForm : public QDialog {
    Q_OBJECT
  public:
    using DriveLister = std::function<std::vector<CDDriveInfo>()>;
    // `lister` reports the drives (tests give their own).
    explicit TCDForm(QWidget* parent = nullptr, DriveLister lister = &ListCDDrives);

    // Lists the drives afresh and shows the dialog modally. Answers the devices or cue sheets to add, empty
    // on Cancel.
    QStringList Choose();
    void SetDriveLister(DriveLister lister) { lister_ = std::move(lister); }

    QTreeWidget* DriveList() const { return drives_; }
    QLabel* NoDriveLabel() const { return noDrive_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* ImageButton() const { return image_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void Refresh();
    void UpdateAddButton();
    void AddClick();
    void ImageClick();

    DriveLister lister_;
    std::vector<CDDriveInfo> shown_;
    QStringList chosen_;
    QTreeWidget* drives_;
    QLabel* noDrive_;
    QPushButton* add_;
    QPushButton* image_;
    QPushButton* cancel_;
};
