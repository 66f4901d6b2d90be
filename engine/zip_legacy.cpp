#include "engine/zip_legacy.h"

// Placeholders until the decoders land: every stream counts as invalid.
ZipDecodeResult Unshrink(ZipStreams & /*streams*/)
{
    return ZipDecodeResult::Corrupt;
}

ZipDecodeResult Unreduce(ZipStreams & /*streams*/, int /*factor*/)
{
    return ZipDecodeResult::Corrupt;
}

ZipDecodeResult Explode(ZipStreams & /*streams*/, std::uint16_t /*generalFlags*/)
{
    return ZipDecodeResult::Corrupt;
}
