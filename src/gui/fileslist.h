// The conversion list: the rows (a TFilesItem record, a check box and a stable identity each) as a Qt
// table model, and the view that shows them with shell icons, grid lines, the header check box, sorting
// by header click and reordering by dragging rows inside the list.
#pragma once

#include <QAbstractTableModel>
#include <QFileIconProvider>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <vector>

#include "wvt/filesitem.h"

class TListHeader;

struct TListRow {
    TFilesItem item;
    bool checked = true;
    uint64_t node = 0;  // identity handed to the conversion engine
};

class TFilesModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr const char* kRowsMime = "application/x-wavetrove-rows";

    explicit TFilesModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;

    const std::vector<TListRow>& Rows() const { return rows_; }
    // Appends a row with a checked box; answers false (and adds nothing) when the path is already listed.
    bool Append(const TFilesItem& item);
    bool Contains(const std::string& path) const;
    void RemoveRows(std::vector<int> rows);
    void Clear();
    void SetAllChecked(bool checked);
    // The row of an identity, or -1.
    int RowOfNode(uint64_t node) const;
    void SetStatus(int row, int status);
    void SetChecked(int row, bool checked);
    // Sorts by a column (VSTCompareNodes), stable, descending or ascending.
    void Sort(int column, bool descending);
    // Moves row `from` before row `before` (before == rowCount() moves it to the end).
    void MoveRow(int from, int before);

    // Runs when a row's box changes by the user's hand (VSTChecked).
    std::function<void()> OnChecked;
    // Files dropped from the desktop (WMDropFiles), as local paths in the order given.
    std::function<void(const QStringList& paths)> OnFilesDropped;

  private:
    std::vector<TListRow> rows_;
    uint64_t nextNode_ = 1;
    QFileIconProvider icons_;
};

class TFilesView : public QTableView {
    Q_OBJECT
  public:
    explicit TFilesView(TFilesModel* model, QWidget* parent = nullptr);
    TListHeader* Header() const { return header_; }
    std::vector<int> SelectedRows() const;
    enum class DropPlace { Above, On, Below, Nowhere };
    // VSTDragDrop: moves the focused row before `target` (dropped above it) or after it (on or below it).
    void DropFocusedRow(int target, DropPlace where);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    TListHeader* header_;
};
