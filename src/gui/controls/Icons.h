// The program's icons come as SVG files in the resource ":/icons/". They
// are rendered here with QSvgRenderer, so they show without Qt's SVG
// icon-engine plugin being installed.
#pragma once

#include <QIcon>
#include <QString>

namespace lw {

// name is the file name in ":/icons/" ("new.svg"; the ".svg" may be left
// out). The icon holds pixmaps of 16, 24, 32 and 48 pixels; an unknown name
// gives a null icon.
QIcon LoadIcon(const QString& name);

} // namespace lw
