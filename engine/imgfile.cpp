#include "engine/imgfile.h"

#include "core/file_snapshot.h"
#include "core/locale_settings.h"
#include "engine/kind_selection.h"

#include <string>

IMGFILE::IMGFILE(int imageType, ImageModule *module) : m_imageType(imageType), m_module(module) {}

IMGFILE::~IMGFILE() = default;

OpResult IMGFILE::Reopen()
{
    return m_file.ChangedOnDisk();
}

std::unique_ptr<STRING> IMGFILE::RecordText(std::int64_t /*k*/)
{
    return std::make_unique<STRING>(kPlaceholderText);
}

std::int32_t IMGFILE::Load(std::string_view path, const CompareOptions & /*options*/,
                           STATUS_IO * /*status*/)
{
    ClearRecords();
    m_column[0].caption.clear();
    m_image.reset();
    if (m_file.IsOpen())
        (void)m_file.Close();

    m_file.Parse(path);
    m_file.TakeSnapshot();
    const FileSnapshot *snapshot = m_file.HeldSnapshot();
    if (snapshot == nullptr || (snapshot->attributes & kAttrDirectory) != 0)
        return -1;

    // The path's extension decides; a temporary copy of an archive member has a numbered
    // extension and keeps the type its name in the archive gave it.
    const FileKindChoice choice = ChooseFileKind(m_file);
    const int imageType = choice.kind == FileKind::Image ? choice.imageType : m_imageType;
    if (imageType == kImageNone)
        return -1;

    // A picture that does not decode stays an empty picture: the side still loads, as 0 x 0.
    m_image = std::make_unique<DecodedImage>();
    ImageModule &module = m_module != nullptr ? *m_module : SharedImageModule();
    (void)module.DecodeFile(m_file.Text(), imageType, *m_image);

    // "date  -  size bytes  -  width x height"
    std::unique_ptr<STRING> date = FormatDateTime(snapshot->date, snapshot->time);
    STRING &caption = m_column[0].caption;
    caption = date ? *date : STRING();
    caption += "  -  ";
    caption += std::to_string(snapshot->size);
    caption += " bytes  -  ";
    caption += std::to_string(m_image->Width());
    caption += " x ";
    caption += std::to_string(m_image->Height());

    // Equal placeholders: matched against each other they never differ.
    for (std::int64_t k = 0; k < kPlaceholderRecords; ++k)
        AddRecord(/*hash16=*/0, /*hash32=*/0, /*offset=*/k, /*width=*/0);
    return 0;
}
