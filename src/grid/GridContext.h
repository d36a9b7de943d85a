#pragma once

#include <QString>

namespace catalog {
class Catalog;
}

namespace grid {

// What the tiles of every view need from the program: the catalog whose files a tile's
// "设置目录" writes and "打开目录" reads, and the download web server that describes tools.
struct GridContext {
    catalog::Catalog* catalog = nullptr;
    QString downloadUrl;  // base URL without a trailing '/'
};

}  // namespace grid
