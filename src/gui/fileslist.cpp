// Conversion list model and view.
#include "gui/fileslist.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QResizeEvent>
#include <QUrl>
#include <algorithm>
#include <unordered_set>

#include "gui/listheader.h"

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The text a column sorts by (VSTCompareNodes).
QString SortKey(const TFilesItem& item, int column) {
    switch (column) {
        case 0:
            return Q(item.name).toUpper();
        case 1:
            return Q(item.format);
        case 2:
            return Q(item.duration);
        default:
            return QString::fromLatin1(StatusText(item.status));
    }
}
}  // namespace

TFilesModel::TFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

int TFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant TFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TListRow& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case 0:
                return Q(row.item.name);
            case 1:
                return Q(row.item.format);
            case 2:
                return Q(row.item.duration);
            case 3:
                return QString::fromLatin1(StatusText(row.item.status));
        }
    } else if (role == Qt::CheckStateRole && index.column() == 0) {
        return row.checked ? Qt::Checked : Qt::Unchecked;
    } else if (role == Qt::DecorationRole && index.column() == 0) {
        // Looked up on every paint, as the shell icon of the path may change with the file.
        return icons_.icon(QFileInfo(Q(row.item.path)));
    } else if (role == Qt::ToolTipRole && index.column() == 0) {
        return Q(row.item.path);
    }
    return {};
}

bool TFilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    if (OnChecked) OnChecked();
    return true;
}

QVariant TFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    static const char* const titles[] = {"  File", "Format", "Duration (hms)", "Status"};
    if (role == Qt::DisplayRole && section >= 0 && section < 4) return QString::fromLatin1(titles[section]);
    if (role == Qt::ToolTipRole && section == 0) return QStringLiteral("Check/Uncheck All Files");
    return {};
}

Qt::ItemFlags TFilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

Qt::DropActions TFilesModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

QStringList TFilesModel::mimeTypes() const {
    return {QString::fromLatin1(kRowsMime), QStringLiteral("text/uri-list")};
}

QMimeData* TFilesModel::mimeData(const QModelIndexList& indexes) const {
    auto* mime = new QMimeData;
    QByteArray rows;
    for (const QModelIndex& i : indexes)
        if (i.column() == 0) rows += QByteArray::number(i.row()) + ' ';
    mime->setData(QString::fromLatin1(kRowsMime), rows);
    return mime;
}

bool TFilesModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) const {
    return data->hasFormat(QString::fromLatin1(kRowsMime)) || data->hasUrls();
}

bool TFilesModel::Append(const TFilesItem& item) {
    if (Contains(item.path)) return false;
    const int at = rowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(TListRow{item, true, nextNode_++});
    endInsertRows();
    return true;
}

bool TFilesModel::Contains(const std::string& path) const {
    return std::any_of(rows_.begin(), rows_.end(), [&](const TListRow& r) { return r.item.path == path; });
}

void TFilesModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int r : rows) {
        if (r < 0 || r >= rowCount()) continue;
        beginRemoveRows({}, r, r);
        rows_.erase(rows_.begin() + r);
        endRemoveRows();
    }
}

void TFilesModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void TFilesModel::SetAllChecked(bool checked) {
    for (TListRow& r : rows_) r.checked = checked;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int TFilesModel::RowOfNode(uint64_t node) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].node == node) return static_cast<int>(i);
    return -1;
}

void TFilesModel::SetStatus(int row, int status) {
    if (row < 0 || row >= rowCount()) return;
    rows_[static_cast<size_t>(row)].item.status = status;
    emit dataChanged(index(row, 0), index(row, 3));
}

void TFilesModel::SetChecked(int row, bool checked) {
    if (row < 0 || row >= rowCount()) return;
    rows_[static_cast<size_t>(row)].checked = checked;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void TFilesModel::Sort(int column, bool descending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<uint64_t> nodes;
    for (const QModelIndex& i : before) nodes.push_back(rows_[static_cast<size_t>(i.row())].node);
    std::stable_sort(rows_.begin(), rows_.end(), [&](const TListRow& a, const TListRow& b) {
        const int c = SortKey(a.item, column).compare(SortKey(b.item, column), Qt::CaseSensitive);
        return descending ? c > 0 : c < 0;
    });
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(RowOfNode(nodes[static_cast<size_t>(i)]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TFilesModel::MoveRow(int from, int before) {
    if (from < 0 || from >= rowCount() || before < 0 || before > rowCount()) return;
    if (before == from || before == from + 1) return;
    beginMoveRows({}, from, from, {}, before);
    TListRow moved = std::move(rows_[static_cast<size_t>(from)]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + (before > from ? before - 1 : before), std::move(moved));
    endMoveRows();
}

TFilesView::TFilesView(TFilesModel* model, QWidget* parent)
    : QTableView(parent), header_(new TListHeader(this)) {
    setModel(model);
    setHorizontalHeader(header_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
}

std::vector<int> TFilesView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFilesView::DropFocusedRow(int target, DropPlace where) {
    auto* m = static_cast<TFilesModel*>(model());
    const int from = currentIndex().isValid() ? currentIndex().row() : -1;
    if (from < 0 || target < 0 || target >= m->rowCount() || where == DropPlace::Nowhere) return;
    m->MoveRow(from, where == DropPlace::Above ? target : target + 1);
}

void TFilesView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // The first column takes whatever width the other columns leave.
    int others = 0;
    for (int i = 1; i < header_->count(); ++i) others += header_->sectionSize(i);
    header_->resizeSection(0, std::max(60, viewport()->width() - others));
}

void TFilesView::dragEnterEvent(QDragEnterEvent* event) {
    const bool ownRows = event->mimeData()->hasFormat(QString::fromLatin1(TFilesModel::kRowsMime));
    if (ownRows && event->source() != this) {
        event->ignore();  // rows from another list are not ours to move
        return;
    }
    QTableView::dragEnterEvent(event);
    if (!ownRows && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFilesView::dragMoveEvent(QDragMoveEvent* event) {
    QTableView::dragMoveEvent(event);
    if (event->source() != this && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFilesView::dropEvent(QDropEvent* event) {
    auto* m = static_cast<TFilesModel*>(model());
    if (event->source() == this &&
        event->mimeData()->hasFormat(QString::fromLatin1(TFilesModel::kRowsMime))) {
        const QModelIndex at = indexAt(event->position().toPoint());
        DropPlace place = DropPlace::Nowhere;
        if (at.isValid()) {
            switch (dropIndicatorPosition()) {
                case AboveItem:
                    place = DropPlace::Above;
                    break;
                case OnItem:
                    place = DropPlace::On;
                    break;
                case BelowItem:
                    place = DropPlace::Below;
                    break;
                case OnViewport:
                    break;
            }
        }
        DropFocusedRow(at.isValid() ? at.row() : -1, place);
        // Reported as a copy so that the drag's source does not remove the rows it thinks it moved.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    if (event->mimeData()->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        if (m->OnFilesDropped) m->OnFilesDropped(paths);
        return;
    }
    event->ignore();
}
