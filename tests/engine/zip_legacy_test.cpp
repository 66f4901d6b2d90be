#include "engine/zip_legacy.h"
#include "engine/zip_legacy_encoders.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace {

using namespace std::string_literals;

using testencoders::BitWriter;

struct Decoded
{
    ZipDecodeResult result;
    std::string output;
};

using Decoder = std::function<ZipDecodeResult(ZipStreams &)>;

// Runs a decoder over compressed bytes; the declared compressed size defaults to their length.
// Fails the test if the decoder asks for bytes beyond the declared size or writes past size.
Decoded DecodeBytes(const Decoder &decoder, const std::string &compressed, std::uint64_t size,
                    std::optional<std::uint64_t> declared = std::nullopt)
{
    const std::uint64_t compressedSize = declared.value_or(compressed.size());
    std::uint64_t asked = 0;
    Decoded decoded{ZipDecodeResult::Ok, {}};
    ZipStreams streams;
    streams.compressedSize = compressedSize;
    streams.uncompressedSize = size;
    streams.read = [&](std::uint8_t *buffer, std::size_t count) -> std::int64_t {
        asked += count;
        EXPECT_LE(asked, compressedSize);
        const std::size_t from = std::min<std::size_t>(asked - count, compressed.size());
        const std::size_t n = std::min(count, compressed.size() - from);
        std::copy_n(compressed.data() + from, n, buffer);
        return static_cast<std::int64_t>(n);
    };
    streams.write = [&](const std::uint8_t *data, std::size_t count) {
        decoded.output.append(reinterpret_cast<const char *>(data), count);
        EXPECT_LE(decoded.output.size(), size);
        return true;
    };
    decoded.result = decoder(streams);
    return decoded;
}

Decoder UnreduceWith(int factor)
{
    return [factor](ZipStreams &s) { return Unreduce(s, factor); };
}

Decoder ExplodeWith(std::uint16_t flags)
{
    return [flags](ZipStreams &s) { return Explode(s, flags); };
}

struct Codec
{
    std::string name;
    std::function<std::string(const std::string &)> encode;
    Decoder decode;
};

std::vector<Codec> AllCodecs()
{
    using namespace testencoders;
    std::vector<Codec> codecs = {
        {"shrink", [](const std::string &d) { return Shrink(d); }, Unshrink},
        {"shrink clearing often", [](const std::string &d) { return Shrink(d, 500); }, Unshrink},
        {"reduce 1 without followers", [](const std::string &d) { return Reduce(d, 1, 0); },
         UnreduceWith(1)},
        {"reduce 2 with single followers", [](const std::string &d) { return Reduce(d, 2, 1); },
         UnreduceWith(2)},
        {"reduce 3 with 5 followers", [](const std::string &d) { return Reduce(d, 3, 5); },
         UnreduceWith(3)},
    };
    for (int factor = 1; factor <= 4; ++factor)
        codecs.push_back({"reduce " + std::to_string(factor) + " with 32 followers",
                          [factor](const std::string &d) { return Reduce(d, factor, 32); },
                          UnreduceWith(factor)});
    for (std::uint16_t flags : {0, 2, 4, 6})
        codecs.push_back({"implode flags " + std::to_string(flags),
                          [flags](const std::string &d) {
                              return Implode(d, (flags & 2) != 0, (flags & 4) != 0);
                          },
                          ExplodeWith(flags)});
    return codecs;
}

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::vector<std::pair<std::string, std::string>> Contents()
{
    std::string text;
    for (int i = 0; text.size() < 20000; ++i)
        text
            += "Line " + std::to_string(i % 37) + ": the quick brown fox jumps over the lazy dog\n";
    std::string mixed; // 200 KB: text, noise, long runs and DLE bytes, far repeats
    while (mixed.size() < 200000) {
        mixed += text.substr(mixed.size() % 5000, 3000);
        mixed += RandomBytes(2000, static_cast<unsigned>(mixed.size()));
        mixed += std::string(700, '\x90') + std::string(5000, 'x');
        mixed += mixed.substr(mixed.size() / 3, 6000);
    }
    std::string pattern;
    while (pattern.size() < 50000)
        pattern += "abcabcabd";
    return {{"empty", ""},        {"one byte", "Z"},
            {"text", text},       {"random", RandomBytes(70000, 7)},
            {"repeats", pattern}, {"200 KB mixed", mixed}};
}

TEST(LegacyZipDecoders, EveryVariantRoundTripsVariedContents)
{
    for (const Codec &codec : AllCodecs())
        for (const auto &[name, content] : Contents()) {
            SCOPED_TRACE(codec.name + " / " + name);
            const Decoded decoded
                = DecodeBytes(codec.decode, codec.encode(content), content.size());
            EXPECT_EQ(decoded.result, ZipDecodeResult::Ok);
            EXPECT_TRUE(decoded.output == content);
        }
}

TEST(LegacyZipDecoders, HandBuiltStreamsDecodeAsTheFormatDescribes)
{
    const std::string noFollowers(192, '\0');              // 256 sets of count 0: 256 x 6 zero bits
    const std::string sixBitTrees = "\x03\xF5\xF5\xF5\xF5" // 4 bytes: 4 x 16 codes of 6 bits
                                    "\x03\xF5\xF5\xF5\xF5"; // (value v has code 63 - v)
    struct Case
    {
        const char *name;
        Decoder decoder;
        std::string stream;
        std::string expected;
    } cases[] = {
        // 9-bit codes 97 ('a') then 257, the code being defined (the previous string plus its
        // own first byte): 100001100 100000001 in reading order.
        {"shrink KwKwK", Unshrink, "\x61\x02\x02", "aaa"},
        // Follower sets empty, factor 1: 'A', then DLE 0x01 0x04 (length 1 + 3, distance 4 + 1,
        // all before the start, so zeros), then DLE 0 (a literal 144).
        {"reduce", UnreduceWith(1), noFollowers + "\x41\x90\x01\x04\x90\x00"s, "A\0\0\0\0\x90"s},
        // Sets 255..1 empty (1530 zero bits), set 0 = {'x','y'}: count 2 in bits 1530-1535
        // (byte 191 = 0x08), then 0x78 0x79. Data: 0 (a follower), 1 (index 1: 'y'); the set of
        // 'y' is empty, so 8 bits 01011110 give 'z': byte 194 = 0xEA, byte 195 = 0x01.
        {"reduce followers", UnreduceWith(1), std::string(191, '\0') + "\x08\x78\x79\xEA\x01"s,
         "yz"},
        // 4 KB, no literal tree: 1 + 10000010 ('A'); 0 + 000000 (low distance bits) + 111111
        // (distance high 0) + 111110 (length code 1: 2 + 1 = 3 bytes from 1 back).
        {"explode", ExplodeWith(0), sixBitTrees + "\x83\x00\xFF\x07"s, "AAAA"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = DecodeBytes(c.decoder, c.stream, c.expected.size());
        EXPECT_EQ(decoded.result, ZipDecodeResult::Ok);
        EXPECT_EQ(decoded.output, c.expected);
    }
}

std::string ShrinkCodes(const std::vector<std::pair<int, int>> &codesAndWidths)
{
    BitWriter out;
    for (auto [code, width] : codesAndWidths)
        out.Put(static_cast<std::uint32_t>(code), width);
    return out.Finish();
}

TEST(Unshrink, PartialClearFreesOnlyLeavesAndReusesTheLowestFirst)
{
    // a b: 257 = "ab", 258 open after b. The clear frees both; c opens 257 again, so 257 is
    // now "c" plus its first byte.
    EXPECT_EQ(DecodeBytes(Unshrink,
                          ShrinkCodes({{'a', 9}, {'b', 9}, {256, 9}, {2, 9}, {'c', 9}, {257, 9}}),
                          5)
                  .output,
              "abccc");
    // a b 257: 257 = "ab" survives as the prefix of the slot opened after it, while 258 = "ba"
    // and that open slot go; the next 257 opens 258 again, now "ab" plus 'a'.
    EXPECT_EQ(DecodeBytes(
                  Unshrink,
                  ShrinkCodes({{'a', 9}, {'b', 9}, {257, 9}, {256, 9}, {2, 9}, {257, 9}, {258, 9}}),
                  9)
                  .output,
              "ababababa");
    // Widening: the code after 256,1 is read with 10 bits.
    EXPECT_EQ(
        DecodeBytes(Unshrink, ShrinkCodes({{'a', 9}, {256, 9}, {1, 9}, {'b', 10}, {257, 10}}), 4)
            .output,
        "abab");
}

TEST(LegacyZipDecoders, InvalidStreamsAreCorrupt)
{
    const std::string sixBitTree = "\x03\xF5\xF5\xF5\xF5";
    struct Case
    {
        const char *name;
        Decoder decoder;
        std::string stream;
    } cases[] = {
        {"shrink starts with a table code", Unshrink, ShrinkCodes({{257, 9}})},
        {"shrink code not yet defined", Unshrink, ShrinkCodes({{'a', 9}, {300, 9}})},
        {"shrink code freed by a partial clear", Unshrink,
         ShrinkCodes({{'a', 9}, {'b', 9}, {257, 9}, {256, 9}, {2, 9}, {259, 9}})},
        {"shrink unknown control", Unshrink, ShrinkCodes({{'a', 9}, {256, 9}, {3, 9}})},
        {"shrink widens past 13 bits", Unshrink,
         ShrinkCodes({{'a', 9},
                      {256, 9},
                      {1, 9},
                      {256, 10},
                      {1, 10},
                      {256, 11},
                      {1, 11},
                      {256, 12},
                      {1, 12},
                      {256, 13},
                      {1, 13},
                      {'b', 13}})},
        {"reduce set of 33 followers", UnreduceWith(2), "\x21" + std::string(300, 'q')},
        {"reduce follower index past the set", UnreduceWith(2),
         // set 255 holds 3 bytes; sets 254..0 are empty; then last byte 0 reads 8 bits 0xFF
         // and the set of 0xFF is asked for index 3 (2 bits 11).
         [] {
             BitWriter w;
             w.Put(3, 6);
             w.Put(0x41, 8), w.Put(0x42, 8), w.Put(0x43, 8);
             for (int i = 0; i < 255; ++i)
                 w.Put(0, 6);
             w.Put(0xFF, 8), w.Put(0, 1), w.Put(3, 2);
             return w.Finish();
         }()},
        {"reduce factor 0", UnreduceWith(0), std::string(200, '\0')},
        {"reduce factor 5", UnreduceWith(5), std::string(200, '\0')},
        {"explode tree of 63 codes", ExplodeWith(0), "\x03\xF5\xF5\xF5\xE5" + sixBitTree},
        {"explode tree of 65 codes", ExplodeWith(0), "\x04\xF5\xF5\xF5\xF5\x05" + sixBitTree},
        {"explode overfull tree", ExplodeWith(0), "\x03\xF0\xF0\xF0\xF0" + sixBitTree},
        // 64 codes of 7 bits use half the code space; a length code starting with 1 is unused.
        {"explode unused code", ExplodeWith(0),
         sixBitTree + "\x03\xF6\xF6\xF6\xF6" + "\x80\xFF\xFF\xFF"s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeBytes(c.decoder, c.stream, 100).result, ZipDecodeResult::Corrupt);
    }
}

TEST(LegacyZipDecoders, TruncatedStreamsWriteWhatTheyCanThenAnswerCorrupt)
{
    const std::string content = Contents()[2].second;
    for (const Codec &codec : AllCodecs()) {
        SCOPED_TRACE(codec.name);
        const std::string compressed = codec.encode(content);
        for (std::size_t keep : {std::size_t{0}, std::size_t{1}, compressed.size() / 2}) {
            // cut either in the bytes or only in the declared size
            for (const Decoded &decoded :
                 {DecodeBytes(codec.decode, compressed.substr(0, keep), content.size()),
                  DecodeBytes(codec.decode, compressed, content.size(), keep)}) {
                EXPECT_EQ(decoded.result, ZipDecodeResult::Corrupt);
                EXPECT_EQ(decoded.output, content.substr(0, decoded.output.size()));
            }
        }
    }
}

TEST(LegacyZipDecoders, OutputStopsAtTheUncompressedSize)
{
    const std::string content = Contents()[2].second;
    for (const Codec &codec : AllCodecs()) {
        SCOPED_TRACE(codec.name);
        const std::string compressed = codec.encode(content);
        for (std::uint64_t size : {0, 1, 16000, 16001}) {
            const Decoded decoded = DecodeBytes(codec.decode, compressed, size);
            EXPECT_EQ(decoded.result, ZipDecodeResult::Ok);
            EXPECT_TRUE(decoded.output == content.substr(0, size));
        }
        // a declared size far beyond the stream ends when the input does, without reserving it
        EXPECT_EQ(DecodeBytes(codec.decode, compressed, std::uint64_t{1} << 40).result,
                  ZipDecodeResult::Corrupt);
    }
}

TEST(LegacyZipDecoders, ReadAndWriteFailuresAreReported)
{
    const std::string content = Contents()[2].second;
    for (const Codec &codec : AllCodecs()) {
        SCOPED_TRACE(codec.name);
        const std::string compressed = codec.encode(content);
        ZipStreams streams;
        streams.compressedSize = compressed.size();
        streams.uncompressedSize = content.size();
        streams.read = [](std::uint8_t *, std::size_t) -> std::int64_t { return -1; };
        streams.write = [](const std::uint8_t *, std::size_t) { return true; };
        EXPECT_EQ(codec.decode(streams), ZipDecodeResult::ReadFailed);
        int writes = 0;
        std::size_t offset = 0;
        streams.read = [&](std::uint8_t *buffer, std::size_t count) -> std::int64_t {
            const std::size_t n = std::min(count, compressed.size() - offset);
            std::copy_n(compressed.data() + offset, n, buffer);
            offset += n;
            return static_cast<std::int64_t>(n);
        };
        streams.write = [&](const std::uint8_t *, std::size_t) { return ++writes > 1 && false; };
        EXPECT_EQ(codec.decode(streams), ZipDecodeResult::WriteFailed);
        EXPECT_EQ(writes, 1); // nothing more is written after a failed write
    }
}

TEST(ImplodeTestEncoder, BuildsTheCodesOfTheFormatExample)
{
    // bit lengths 3 3 3 3 3 2 4 4 give 101 100 011 010 001 11 0001 0000 (highest bit first)
    EXPECT_EQ(testencoders::ShannonFanoCodes({3, 3, 3, 3, 3, 2, 4, 4}),
              (std::vector<std::uint32_t>{5, 4, 3, 2, 1, 3, 1, 0}));
}

} // namespace
