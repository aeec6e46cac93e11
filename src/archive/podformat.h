#pragma once
// On-disk records of a POD archive. All integers are 32-bit little-endian; texts are
// NUL-terminated single-byte text in the archive code page; offsets are absolute.
//
// POD3, as written:                      POD2, as read:
//   0    header (288 bytes)                0    header (96 bytes)
//   288  data of every entry, in order     96   directory (entryCount x 20)
//   D    directory (entryCount x 20)       ...  name table
//   D+20n name table, to the end of file   ...  data, wherever dataOffset points
// D is the header's directoryOffset. A record's nameOffset counts from the table's start.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillomar {

inline constexpr std::size_t kPod2HeaderSize = 96;
inline constexpr std::size_t kPod3HeaderSize = 288;
inline constexpr std::size_t kDirectoryRecordSize = 20;
inline constexpr std::size_t kHeaderTextSize = 80;
// A stored name with its terminator fits in 260 bytes.
inline constexpr std::size_t kMaxStoredNameLength = 259;
inline constexpr std::size_t kNameReadLength = 260;
// Every offset the format uses is a signed 32-bit seek: an archive holds at most 2 GiB - 1 bytes.
inline constexpr std::uint64_t kMaxArchiveSize = 0x7FFFFFFF;

inline constexpr std::string_view kMagicPod2 = "POD2";
inline constexpr std::string_view kMagicPod3 = "POD3";

// Header field offsets.
inline constexpr std::size_t kHeaderMagicOffset = 0;
inline constexpr std::size_t kHeaderDescriptionOffset = 8;
inline constexpr std::size_t kHeaderEntryCountOffset = 88;
inline constexpr std::size_t kHeaderWord96Offset = 96;  // always 1000 when written, never read
inline constexpr std::size_t kHeaderPriorityOffset = 100;
inline constexpr std::size_t kHeaderAuthorOffset = 104;
inline constexpr std::size_t kHeaderCopyrightOffset = 184;
inline constexpr std::size_t kHeaderDirectoryOffsetOffset = 264;
inline constexpr std::size_t kHeaderNamesSizeOffset = 272;
inline constexpr std::size_t kHeaderWord280Offset = 280;  // always 0xFFFFFFFF when written, never read

inline constexpr std::int32_t kHeaderWord96Value = 1000;
inline constexpr std::uint32_t kHeaderWord280Value = 0xFFFFFFFF;

// Directory record field offsets.
inline constexpr std::size_t kRecordNameOffsetOffset = 0;
inline constexpr std::size_t kRecordSizeOffset = 4;
inline constexpr std::size_t kRecordDataOffsetOffset = 8;
inline constexpr std::size_t kRecordTimestampOffset = 12;

using HeaderText = std::array<char, kHeaderTextSize>;

struct PodHeader {
    std::array<char, 4> magic{};
    std::uint32_t reserved4 = 0;
    HeaderText description{};
    std::int32_t entryCount = 0;
    std::uint32_t reserved92 = 0;
    // POD3 only from here on.
    std::int32_t word96 = 0;
    std::int32_t priority = 0;
    HeaderText author{};
    HeaderText copyright{};
    std::uint32_t directoryOffset = 0;
    std::uint32_t reserved268 = 0;
    std::uint32_t namesSize = 0;
    std::uint32_t reserved276 = 0;
    std::uint32_t word280 = 0;
    std::uint32_t reserved284 = 0;
};
static_assert(sizeof(PodHeader) == kPod3HeaderSize);

struct DirectoryRecord {
    std::uint32_t nameOffset = 0;
    std::uint32_t size = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t timestamp = 0;
    std::uint32_t reserved = 0;
};
static_assert(sizeof(DirectoryRecord) == kDirectoryRecordSize);

// Little-endian words over bytes.
std::uint32_t loadLe32(std::span<const std::byte> bytes, std::size_t offset);
void storeLe32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value);

// A header image of 288 bytes (a POD2 header fills the first 96, the rest zero).
PodHeader decodeHeader(std::span<const std::byte, kPod3HeaderSize> image);
std::array<std::byte, kPod3HeaderSize> encodeHeader(const PodHeader& header);

DirectoryRecord decodeDirectoryRecord(std::span<const std::byte, kDirectoryRecordSize> bytes);
void encodeDirectoryRecord(const DirectoryRecord& record, std::span<std::byte, kDirectoryRecordSize> bytes);

// The directory and the name table of an archive being written, built in step: each record
// added takes the next name's offset.
struct DirectoryTables {
    std::vector<std::byte> directory;
    std::vector<std::byte> names;

    // Appends record, its nameOffset set to where name goes, and name with its NUL.
    void add(DirectoryRecord record, std::string_view name);
    std::int32_t count() const { return static_cast<std::int32_t>(directory.size() / kDirectoryRecordSize); }
};

// A header text up to its NUL, or the whole field when it holds none.
std::string headerText(const HeaderText& field);
// At most the first 79 bytes of text, the rest of the field 0.
HeaderText makeHeaderText(std::string_view text);

}  // namespace quillomar
