// Header with the "Check/Uncheck All Files" box in the first column.
#include "gui/listheader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

TListHeader::TListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSectionsMovable(true);
    setSortIndicatorShown(false);
    setHighlightSections(false);
}

void TListHeader::SetChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    viewport()->update();
}

QRect TListHeader::BoxRectIn(const QRect& section) const {
    QStyleOptionButton option;
    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    return QRect(section.left() + 4, section.top() + (section.height() - box.height()) / 2, box.width(),
                 box.height());
}

QRect TListHeader::CheckBoxRect() const {
    const int x = sectionViewportPosition(0);
    return BoxRectIn(QRect(x, 0, sectionSize(0), height()));
}

void TListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (logicalIndex != 0) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    // The first section draws its frame over the whole rectangle but its label after the box.
    QStyleOptionHeader header;
    initStyleOption(&header);
    initStyleOptionForIndex(&header, logicalIndex);
    header.rect = rect;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &header, painter, this);
    const QRect box = BoxRectIn(rect);
    header.rect = rect.adjusted(box.right() - rect.left() + 2, 0, 0, 0);
    style()->drawControl(QStyle::CE_HeaderLabel, &header, painter, this);
    if (header.sortIndicator != QStyleOptionHeader::None) {
        header.rect = rect;
        header.rect = style()->subElementRect(QStyle::SE_HeaderArrow, &header, this);
        style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &header, painter, this);
    }
    painter->restore();
    QStyleOptionButton option;
    option.rect = BoxRectIn(rect);
    option.state = QStyle::State_Enabled | (checked_ ? QStyle::State_On : QStyle::State_Off);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, this);
}

void TListHeader::mousePressEvent(QMouseEvent* event) {
    pressedOnBox_ = CheckBoxRect().contains(event->position().toPoint());
    if (pressedOnBox_) {
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void TListHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (pressedOnBox_) {
        pressedOnBox_ = false;
        if (CheckBoxRect().contains(event->position().toPoint())) {
            checked_ = !checked_;
            viewport()->update();
            emit CheckBoxClicked(checked_);
        }
        event->accept();
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}
