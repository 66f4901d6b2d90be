#include "engine/directoryobject.h"

#include "engine/difflist.h"

#include <utility>

std::string_view DirEntry::Extension() const
{
    const auto point = name.rfind('.');
    if (point == std::string::npos)
        return {};
    return std::string_view(name).substr(point);
}

std::string_view DirEntry::Folder() const
{
    return parent != nullptr ? std::string_view(parent->relativePath) : std::string_view();
}

void SetFolderRelativePath(DirEntry &entry)
{
    entry.relativePath = std::string(entry.Folder()) + entry.name + NativeSeparator();
}

DIRECTORYOBJECT::DIRECTORYOBJECT(const CompareOptions &options) : m_options(options), m_serial(0) {}

DIRECTORYOBJECT::~DIRECTORYOBJECT() = default;

std::int64_t DIRECTORYOBJECT::Read(const PATHNAME &path, std::string_view, STATUS_IO *)
{
    Clear();
    m_path = path;
    return 0;
}

void DIRECTORYOBJECT::Clear()
{
    m_entries.clear();
    m_array.clear();
}

void DIRECTORYOBJECT::AddEntry(std::unique_ptr<DirEntry> entry)
{
    m_entries.push_back(std::move(entry));
}

std::int32_t DIRECTORYOBJECT::ListingDepth() const
{
    return (m_options.dirOptions & kDirLookInSubfolders) != 0 ? m_options.subDirLevel : 0;
}

OpResult DIRECTORYOBJECT::CompareListings(const CompareOptions &, DIFFLIST &list, DIRECTORYOBJECT &,
                                          DIRECTORYOBJECT &, STATUS_IO *)
{
    list.Clear();
    return kOk;
}

void DIRECTORYOBJECT::PairAndSort(int, DIRECTORYOBJECT *, bool, bool) {}

int DIRECTORYOBJECT::RowDiffers(std::int64_t, std::int64_t, const CompareOptions &)
{
    return 1;
}

int DIRECTORYOBJECT::CompareEntries(const DirEntry &, const DirEntry &, int)
{
    return 0;
}

int DIRECTORYOBJECT::EntriesEqual(const DirEntry &, const DirEntry &, bool, bool, bool, bool)
{
    return 0;
}

const DirEntry *DIRECTORYOBJECT::Record(std::int64_t k) const
{
    if (k < 0 || k >= static_cast<std::int64_t>(m_entries.size()))
        return nullptr;
    return m_entries[static_cast<std::size_t>(k)].get();
}

DirEntry *DIRECTORYOBJECT::Record(std::int64_t k)
{
    return const_cast<DirEntry *>(std::as_const(*this).Record(k));
}

OpResult DIRECTORYOBJECT::Reopen()
{
    return kOk;
}

std::unique_ptr<STRING> DIRECTORYOBJECT::ColumnText(int, std::int64_t)
{
    return nullptr;
}

void DIRECTORYOBJECT::ResetColumnWidths() {}

bool DIRECTORYOBJECT::WidenColumns()
{
    return false;
}

void DIRECTORYOBJECT::FreezeColumnWidths() {}

std::unique_ptr<STRING> DIRECTORYOBJECT::RelativeName(std::int64_t)
{
    return nullptr;
}

std::int64_t DIRECTORYOBJECT::RecordCount() const
{
    return static_cast<std::int64_t>(m_entries.size());
}

std::span<ColumnDescriptor> DIRECTORYOBJECT::ColumnDescriptors(int, int)
{
    return m_columns;
}
