// The output format box: a drop-down list whose items ("WAV  - Waveform Audio") are drawn as a coloured
// badge with the short name followed by the description.
#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// Draws one item (formatboxDrawItem) into `rect`: `focused` picks the badge colour and the selection
// background.
void DrawFormatItem(QPainter* painter, const QRect& rect, const QString& text, const QFont& font,
                    const QPalette& palette, bool focused);

class TFormatDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TFormatBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TFormatBox(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
