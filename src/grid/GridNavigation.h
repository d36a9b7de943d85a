#pragma once

#include <cstddef>

namespace grid {

// A move of the keyboard's place in a paged grid.
enum class GridMove { Left, Right, Up, Down, PageUp, PageDown, Home, End };

// The index a move leads to in a list of `count` items laid out `columns` to a row and
// `pageSize` to a page, row by row, page after page, from `current`. The pages follow each
// other as one long column of rows, so Left, Right, Up and Down cross a page's end into the
// next or previous page. A move that would leave the list goes as far as the list allows in
// its direction (Down into a shorter last row lands on the last item), or stays.
std::size_t GridMoveTarget(GridMove move, std::size_t current, std::size_t count,
                           std::size_t columns, std::size_t pageSize);

}  // namespace grid
