// Tamsel's icon: a reliability growth curve rising through observed failures.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tamsel {

// The icon drawn at size x size pixels.
QPixmap TamselPixmap(int size);
// The icon at the sizes window decorations use.
QIcon TamselIcon();

}  // namespace tamsel
