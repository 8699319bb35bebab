// Icons from the compiled-in SVG set.
#include "gui/icons.h"

#include <QPainter>
#include <QPixmap>

QIcon NamedIcon(const char* name) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

namespace {
QPixmap White(const char* name, int size) {
    QPixmap pixmap = NamedIcon(name).pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), Qt::white);
    return pixmap;
}
}  // namespace

QIcon WhiteIcon(const char* name, int size) {
    return QIcon(White(name, size));
}

QIcon SelectableIcon(const char* name, int size) {
    QIcon icon = NamedIcon(name);
    icon.addPixmap(White(name, size), QIcon::Selected);
    return icon;
}
