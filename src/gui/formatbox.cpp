// Format box drawing: the short name on a rounded badge, the description beside it.
#include "gui/formatbox.h"

#include <algorithm>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QStylePainter>

void DrawFormatItem(QPainter* painter, const QRect& rect, const QString& text, const QFont& font,
                    const QPalette& palette, bool focused) {
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    const QString shortName = (dash < 0 ? text : text.left(dash)).trimmed();
    const QString description = dash < 0 ? QString() : text.mid(dash + 1).trimmed();

    painter->save();
    painter->fillRect(rect, focused ? palette.highlight() : palette.base());
    const int w = 2 * QFontMetrics(font).horizontalAdvance(QStringLiteral("FLAC"));
    painter->setFont(font);
    painter->setPen(focused ? palette.highlightedText().color() : palette.text().color());
    painter->drawText(QRect(rect.left() + w, rect.top() + 1, rect.width() - w, rect.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, description);

    // The badge is drawn off screen first, as a 32-bit ARGB image, and then copied onto the item.
    const QSize badgeSize(std::max(1, w - 5), std::max(1, rect.height()));
    QImage badge(badgeSize, QImage::Format_ARGB32_Premultiplied);
    badge.fill(Qt::transparent);
    {
        QPainter p(&badge);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(focused ? QColor(0xFF, 0x80, 0x40) : QColor(0x18, 0x7B, 0xBF));
        const qreal radius = 0.45 * badgeSize.height();
        p.drawRoundedRect(QRectF(QPointF(0, 0), badgeSize), radius, radius);
        QFont bold(QStringLiteral("Tahoma"));
        if (!QFontInfo(bold).exactMatch()) bold = QFont(QStringLiteral("Arial"));
        bold.setBold(true);
        // 48 % of the badge height in points, at the screen's resolution.
        const qreal dpi =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() : 96;
        bold.setPointSizeF(std::max(1.0, 0.48 * badgeSize.height() * 96.0 / dpi));
        p.setFont(bold);
        p.setPen(Qt::white);
        p.drawText(QRect(QPoint(0, 0), badgeSize), Qt::AlignCenter, shortName);
    }
    painter->drawImage(QPoint(rect.left() + 1, rect.top()), badge);
    painter->restore();
}

void TFormatDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool focused = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
    DrawFormatItem(painter, option.rect, index.data(Qt::DisplayRole).toString(), option.font, option.palette,
                   focused);
}

QSize TFormatDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), QFontMetrics(option.font).height() + 4));
    return size;
}

TFormatBox::TFormatBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new TFormatDelegate(this));
    setEditable(false);
}

void TFormatBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0)
        DrawFormatItem(&painter, field.adjusted(0, 1, 0, -1), currentText(), font(), palette(), false);
}
