#include "gui/controls/Icons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in the static gui library; naming its initialiser here
// keeps the linker from dropping it from programs that use the icons.
static void InitIconResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace lw {

QIcon LoadIcon(const QString& name)
{
    InitIconResource();
    QString path = name.startsWith(QLatin1String(":/")) ? name : QStringLiteral(":/icons/") + name;
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) path += QLatin1String(".svg");

    if (!QFile::exists(path)) return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};

    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace lw
