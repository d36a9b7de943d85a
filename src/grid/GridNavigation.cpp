#include "grid/GridNavigation.h"

#include <algorithm>

namespace grid {

std::size_t GridMoveTarget(GridMove move, std::size_t current, std::size_t count,
                           std::size_t columns, std::size_t pageSize) {
    if (count == 0) {
        return 0;
    }
    const std::size_t last = count - 1;
    current = std::min(current, last);
    // A step forward: as far as the list goes, but only when that still moves forward by
    // whole rows or pages (the item below the last full row is the last item).
    auto forward = [&](std::size_t step) {
        if (current + step <= last) {
            return current + step;
        }
        return last / columns > current / columns ? last : current;
    };
    switch (move) {
        case GridMove::Left:
            return current > 0 ? current - 1 : current;
        case GridMove::Right:
            return current < last ? current + 1 : current;
        case GridMove::Up:
            return current >= columns ? current - columns : current;
        case GridMove::Down:
            return forward(columns);
        case GridMove::PageUp:
            return current >= pageSize ? current - pageSize : current;
        case GridMove::PageDown:
            // On the last page nothing moves; the last page may hold a single row.
            return last / pageSize > current / pageSize ? std::min(current + pageSize, last)
                                                        : current;
        case GridMove::Home:
            return 0;
        case GridMove::End:
            return last;
    }
    return current;
}

}  // namespace grid
