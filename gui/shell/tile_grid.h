// Where Window > Tile puts the child windows.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

namespace tamsel {

// The smallest a tiled window should be, so that a chart keeps its axes and legend readable.
inline constexpr QSize kSmallestTile{480, 320};

// count cells, row after row, in a grid of equal cells over area. Of the grids whose cells
// are at least smallest, the one whose cells are closest in shape to smallest; when none
// fits, cells of at least smallest in as many columns as the width holds, reaching beyond
// the area (which then scrolls). Empty for a count below 1.
std::vector<QRect> TileGrid(QSize area, int count, QSize smallest);

}  // namespace tamsel
