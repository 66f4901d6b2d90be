#include "core/file_snapshot.h"

std::string_view FileSnapshot::Extension() const
{
    auto point = name.rfind('.');
    if (point == std::string::npos) {
        return {};
    }
    return std::string_view(name).substr(point);
}
