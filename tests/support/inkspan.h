#pragma once
// Where a cell's text was painted in a grabbed image: the first and last
// columns whose pixels differ from the cell's background (taken at its
// top-left corner); -1 when nothing was painted.
#include <QImage>
#include <QPair>
#include <QRect>
#include <cstdlib>

inline QPair<int, int> inkSpan(const QImage &img, const QRect &r)
{
    const int bg = qGray(img.pixel(r.left(), r.top()));
    int first = -1, last = -1;
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = r.top(); y <= r.bottom(); ++y)
            if (std::abs(qGray(img.pixel(x, y)) - bg) > 90) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}
