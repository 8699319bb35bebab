// Option dialog base and the generic builder over a writer's option rows.
#include "gui/encoderform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSlider* MakeSlider(const OptionRow& row, QWidget* parent) {
    auto* slider = Named(new QSlider(Qt::Horizontal, parent), row.object);
    slider->setRange(row.min, row.max);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    return slider;
}

}  // namespace

TEncoderForm::TEncoderForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      mainWindow_(mainWindow),
      body_(new QWidget(this)),
      bevel_(new QFrame(this)),
      okButton_(new QPushButton(QStringLiteral("Ok"), this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Encoder options"));
    setModal(true);
    bevel_->setFrameShape(QFrame::HLine);
    bevel_->setFrameShadow(QFrame::Sunken);
    okButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(body_, 1);
    layout->addWidget(bevel_);
    layout->addLayout(buttons);
    SetClientSize(362, 125);

    connect(okButton_, &QPushButton::clicked, this, [this] {
        StoreSettings();
        accept();
    });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

TEncoderForm::TEncoderForm(QWidget* mainWindow, const OptionsDialogFacts& facts) : TEncoderForm(mainWindow) {
    setObjectName(QLatin1String(facts.object));
    setWindowTitle(QString::fromUtf8(facts.caption));
    SetClientSize(facts.width, facts.height);
    BuildRows(facts.rows);
}

void TEncoderForm::BuildRows(std::span<const OptionRow> rows) {
    auto* grid = new QGridLayout(body_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    int line = 0;
    for (const OptionRow& row : rows) {
        switch (row.kind) {
            case RowKind::List: {
                grid->addWidget(Named(new QLabel(QString::fromUtf8(row.label), body_), row.labelObject), line,
                                0);
                auto* box = Named(new QComboBox(body_), row.object);
                for (const Choice& choice : row.choices) box->addItem(QString::fromUtf8(choice.text));
                grid->addWidget(box, line, 1);
                break;
            }
            case RowKind::Slider:
                grid->addWidget(Named(new QLabel(QString::fromUtf8(row.label), body_), row.labelObject), line,
                                0);
                grid->addWidget(MakeSlider(row, body_), line, 1);
                break;
            case RowKind::CheckSlider:
                grid->addWidget(Named(new QCheckBox(QString::fromUtf8(row.label), body_), row.labelObject),
                                line, 0);
                grid->addWidget(MakeSlider(row, body_), line, 1);
                break;
            case RowKind::Checks: {
                auto* boxes = new QHBoxLayout;
                for (const CheckItem& item : row.checks)
                    boxes->addWidget(Named(new QCheckBox(QString::fromUtf8(item.text), body_), item.object));
                boxes->addStretch();
                grid->addLayout(boxes, line, 0, 1, 2);
                break;
            }
        }
        ++line;
    }
    grid->setColumnStretch(1, 1);
    rows_ = rows;
}

void TEncoderForm::LoadSettings() {
    for (const OptionRow& row : rows_) {
        switch (row.kind) {
            case RowKind::List:
                // A stored index outside the list shows the item the writer uses for it, so "Ok" keeps it.
                Find<QComboBox>(row.object)->setCurrentIndex(row.Index(Config));
                break;
            case RowKind::CheckSlider:
                Find<QCheckBox>(row.labelObject)->setChecked(Config.*row.flag);
                [[fallthrough]];
            case RowKind::Slider:
                Find<QSlider>(row.object)->setValue(Config.*row.field);  // clamped to the slider's range
                break;
            case RowKind::Checks:
                for (const CheckItem& item : row.checks)
                    Find<QCheckBox>(item.object)->setChecked(Config.*item.field);
                break;
        }
    }
}

void TEncoderForm::StoreSettings() {
    for (const OptionRow& row : rows_) {
        switch (row.kind) {
            case RowKind::List:
                Config.*row.field = Find<QComboBox>(row.object)->currentIndex();
                break;
            case RowKind::CheckSlider:
                Config.*row.flag = Find<QCheckBox>(row.labelObject)->isChecked();
                [[fallthrough]];
            case RowKind::Slider:
                Config.*row.field = Find<QSlider>(row.object)->value();
                break;
            case RowKind::Checks:
                for (const CheckItem& item : row.checks)
                    Config.*item.field = Find<QCheckBox>(item.object)->isChecked();
                break;
        }
    }
}

void TEncoderForm::Prepare(int, const QString& caption) {
    if (!caption.isEmpty()) setWindowTitle(caption);
}

void TEncoderForm::SetClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TEncoderForm::showEvent(QShowEvent* event) {
    if (mainWindow_) {
        const QRect main = mainWindow_->frameGeometry();
        // Integer division truncating toward zero, as C++ does.
        move(main.left() + (main.width() - frameGeometry().width()) / 2,
             main.top() + (main.height() - frameGeometry().height()) / 2);
    }
    LoadSettings();
    okButton_->setFocus();
    QDialog::showEvent(event);
}
