// Extraction of one member of a zip or jar archive into a file: stored members are copied,
// deflated ones inflated, the older methods (shrunk, reduced, imploded) go through their own
// decoders. What was written is checked against the member's stored size and CRC-32, so a
// damaged member never passes for a good one.
#pragma once

#include "core/basefile.h"
#include "core/string.h"
#include "engine/zipfile.h"

#include <cstdint>
#include <memory>
#include <string_view>

class STATUS_IO;

// Error texts of an extraction.
inline constexpr const char *kUnzipErrorText = "Error";
inline constexpr const char *kUnzipOutOfMemoryText = "out of memory";
inline constexpr const char *kUnzipCreateFileText = "error creating file: ";
inline constexpr const char *kUnzipExtractionText = "Error during extraction";
inline constexpr const char *kUnzipUnknownMethodText = "Unknown compression method";

class UNZIPFILE : public ZIPFILE
{
public:
    // Input is read and output written in pieces of this size.
    static constexpr std::size_t kPieceSize = 16000;

    explicit UNZIPFILE(std::string_view archivePath);
    ~UNZIPFILE() override;

    // Writes the member whose name (with native separators) equals memberName byte for byte
    // into a file at destination, created or emptied first. 0 on success; 1 with ErrorText()
    // set on failure, and then no file is left at destination. A stop request from status
    // fails the extraction.
    [[nodiscard]] int Extract(STATUS_IO *status, std::string_view memberName,
                              std::string_view destination);

    [[nodiscard]] const STRING &ErrorText() const { return m_errorText; }

private:
    enum class Decoded
    {
        Ok,
        Failed,
        UnknownMethod
    };

    [[nodiscard]] bool FindMember(std::string_view memberName);
    [[nodiscard]] Decoded Decode();
    [[nodiscard]] bool CopyStored();
    [[nodiscard]] bool Inflate();
    [[nodiscard]] bool DecodeLegacy(int method);
    // Reads the next piece of the member's data (at most count bytes and what is left);
    // -1 on a read error or a stop request, 0 when nothing is left.
    [[nodiscard]] std::int64_t ReadInput(std::uint8_t *buffer, std::size_t count);
    // Queues bytes for the output file, writing whole pieces as they fill; false when the
    // member grows past its stored size or the file cannot be written.
    [[nodiscard]] bool Output(const std::uint8_t *data, std::size_t count);
    [[nodiscard]] bool FlushOutput();

    BASEFILE m_output;
    STATUS_IO *m_status = nullptr;
    STRING m_errorText;
    std::unique_ptr<std::uint8_t[]> m_input;
    std::unique_ptr<std::uint8_t[]> m_outputBuffer;
    std::size_t m_outputFill = 0;
    std::uint64_t m_compressedLeft = 0;
    std::uint64_t m_compressedTotal = 0;
    std::uint64_t m_written = 0; // bytes handed to the output so far
    std::uint32_t m_crc = 0;     // CRC-32 of those bytes
    bool m_inputExhausted = false;
};

// The extractor both programs install for their sides: extracts memberName of the archive at
// archivePath into destination. 0 on success, else 1 with errorText set.
int ExtractZipMember(const STRING &archivePath, const STRING &memberName, const STRING &destination,
                     STATUS_IO *status, STRING &errorText);
