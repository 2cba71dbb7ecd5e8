#include "index/link_text.h"

namespace quilldex {

std::string escapeLinkName(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size());
    forEachEscapedPiece(name, [&](std::string_view piece) { escaped += piece; });
    return escaped;
}

}  // namespace quilldex
