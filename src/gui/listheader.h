// The conversion list's header: a check box drawn in the first column's section that checks or unchecks
// every row, and sort arrows; clicks elsewhere on a section sort by it.
#pragma once

#include <QHeaderView>

class TListHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit TListHeader(QWidget* parent = nullptr);

    bool IsChecked() const { return checked_; }
    // Sets the box without emitting CheckBoxClicked: a state set from code is not a click.
    void SetChecked(bool checked);
    // The box's rectangle in header coordinates.
    QRect CheckBoxRect() const;

  signals:
    void CheckBoxClicked(bool checked);

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QRect BoxRectIn(const QRect& section) const;
    bool checked_ = false;
    bool pressedOnBox_ = false;
};
