#include "UI/LibraryPaging.h"

#include <algorithm>
#include <cmath>

namespace sendra::ui::libraryPaging {

int shownRows(int visible, int groups)
{
    return std::max(0, std::min(visible, groups));
}

bool hasMoreRows(int visible, int groups)
{
    return groups > visible;
}

int rowsAfterMore(int visible, int groups)
{
    return std::min(groups, visible + pageSize);
}

int rowsAfterOpening(int visible, int position)
{
    if (position < 0)
        return visible;
    return std::max((position / pageSize + 1) * pageSize, visible);
}

int gridColumns(double width, double minimum, double spacing)
{
    if (!(width > 0) || !(minimum + spacing > 0))
        return 1;
    return std::max(1, int(std::floor((width + spacing) / (minimum + spacing))));
}

} // namespace sendra::ui::libraryPaging
