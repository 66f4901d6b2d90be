#include "engine/baseitem.h"

BASEITEM::~BASEITEM() = default;

std::unique_ptr<STRING> BASEITEM::RecordText(std::int64_t /*k*/)
{
    return nullptr;
}

std::span<ColumnDescriptor> BASEITEM::ColumnDescriptors(int /*column*/, int /*sortMode*/)
{
    static ColumnDescriptor empty;
    return {&empty, 1};
}
