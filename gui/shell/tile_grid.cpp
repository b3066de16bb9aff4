#include "shell/tile_grid.h"

#include <algorithm>
#include <cmath>

namespace tamsel {

std::vector<QRect> TileGrid(QSize area, int count, QSize smallest) {
    if (count < 1) return {};
    const int width = std::max(area.width(), 1);
    const int height = std::max(area.height(), 1);
    const double wantedShape = static_cast<double>(smallest.width()) / smallest.height();
    int columns = 0;
    double bestMismatch = 0.0;
    for (int c = 1; c <= count; ++c) {
        const int rows = (count + c - 1) / c;
        if (width / c < smallest.width() || height / rows < smallest.height()) continue;
        const double mismatch =
            std::abs(std::log(static_cast<double>(width / c) / (height / rows) / wantedShape));
        if (columns == 0 || mismatch < bestMismatch) {
            columns = c;
            bestMismatch = mismatch;
        }
    }
    if (columns == 0) columns = std::clamp(width / smallest.width(), 1, count);
    const int rows = (count + columns - 1) / columns;
    const QSize cell(std::max(width / columns, smallest.width()),
                     std::max(height / rows, smallest.height()));
    std::vector<QRect> cells;
    for (int i = 0; i < count; ++i) {
        cells.emplace_back(QPoint((i % columns) * cell.width(), (i / columns) * cell.height()),
                           cell);
    }
    return cells;
}

}  // namespace tamsel
