#include "archive/podformat.h"

#include <algorithm>
#include <cstring>

namespace quillomar {

std::uint32_t loadLe32(std::span<const std::byte> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void storeLe32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::byte>(value >> (8 * i));
}

namespace {

std::int32_t loadLe32s(std::span<const std::byte> bytes, std::size_t offset) {
    return static_cast<std::int32_t>(loadLe32(bytes, offset));
}

template <std::size_t N>
void loadBytes(std::span<const std::byte> bytes, std::size_t offset, std::array<char, N>& out) {
    std::memcpy(out.data(), bytes.data() + offset, N);
}

template <std::size_t N>
void storeBytes(std::span<std::byte> bytes, std::size_t offset, const std::array<char, N>& in) {
    std::memcpy(bytes.data() + offset, in.data(), N);
}

}  // namespace

PodHeader decodeHeader(std::span<const std::byte, kPod3HeaderSize> image) {
    PodHeader h;
    loadBytes(image, kHeaderMagicOffset, h.magic);
    h.reserved4 = loadLe32(image, 4);
    loadBytes(image, kHeaderDescriptionOffset, h.description);
    h.entryCount = loadLe32s(image, kHeaderEntryCountOffset);
    h.reserved92 = loadLe32(image, 92);
    h.word96 = loadLe32s(image, kHeaderWord96Offset);
    h.priority = loadLe32s(image, kHeaderPriorityOffset);
    loadBytes(image, kHeaderAuthorOffset, h.author);
    loadBytes(image, kHeaderCopyrightOffset, h.copyright);
    h.directoryOffset = loadLe32(image, kHeaderDirectoryOffsetOffset);
    h.reserved268 = loadLe32(image, 268);
    h.namesSize = loadLe32(image, kHeaderNamesSizeOffset);
    h.reserved276 = loadLe32(image, 276);
    h.word280 = loadLe32(image, kHeaderWord280Offset);
    h.reserved284 = loadLe32(image, 284);
    return h;
}

std::array<std::byte, kPod3HeaderSize> encodeHeader(const PodHeader& h) {
    std::array<std::byte, kPod3HeaderSize> image{};
    std::span<std::byte> out(image);
    storeBytes(out, kHeaderMagicOffset, h.magic);
    storeLe32(out, 4, h.reserved4);
    storeBytes(out, kHeaderDescriptionOffset, h.description);
    storeLe32(out, kHeaderEntryCountOffset, static_cast<std::uint32_t>(h.entryCount));
    storeLe32(out, 92, h.reserved92);
    storeLe32(out, kHeaderWord96Offset, static_cast<std::uint32_t>(h.word96));
    storeLe32(out, kHeaderPriorityOffset, static_cast<std::uint32_t>(h.priority));
    storeBytes(out, kHeaderAuthorOffset, h.author);
    storeBytes(out, kHeaderCopyrightOffset, h.copyright);
    storeLe32(out, kHeaderDirectoryOffsetOffset, h.directoryOffset);
    storeLe32(out, 268, h.reserved268);
    storeLe32(out, kHeaderNamesSizeOffset, h.namesSize);
    storeLe32(out, 276, h.reserved276);
    storeLe32(out, kHeaderWord280Offset, h.word280);
    storeLe32(out, 284, h.reserved284);
    return image;
}

DirectoryRecord decodeDirectoryRecord(std::span<const std::byte, kDirectoryRecordSize> bytes) {
    DirectoryRecord r;
    r.nameOffset = loadLe32(bytes, kRecordNameOffsetOffset);
    r.size = loadLe32(bytes, kRecordSizeOffset);
    r.dataOffset = loadLe32(bytes, kRecordDataOffsetOffset);
    r.timestamp = loadLe32(bytes, kRecordTimestampOffset);
    r.reserved = loadLe32(bytes, 16);
    return r;
}

void encodeDirectoryRecord(const DirectoryRecord& r, std::span<std::byte, kDirectoryRecordSize> bytes) {
    storeLe32(bytes, kRecordNameOffsetOffset, r.nameOffset);
    storeLe32(bytes, kRecordSizeOffset, r.size);
    storeLe32(bytes, kRecordDataOffsetOffset, r.dataOffset);
    storeLe32(bytes, kRecordTimestampOffset, r.timestamp);
    storeLe32(bytes, 16, r.reserved);
}

void DirectoryTables::add(DirectoryRecord record, std::string_view name) {
    record.nameOffset = static_cast<std::uint32_t>(names.size());
    directory.resize(directory.size() + kDirectoryRecordSize);
    encodeDirectoryRecord(record, std::span(directory).last<kDirectoryRecordSize>());
    const auto* nameBytes = reinterpret_cast<const std::byte*>(name.data());
    names.insert(names.end(), nameBytes, nameBytes + name.size());
    names.push_back(std::byte{0});
}

std::string headerText(const HeaderText& field) {
    const char* end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

HeaderText makeHeaderText(std::string_view text) {
    HeaderText field{};
    std::size_t n = std::min(text.size(), kHeaderTextSize - 1);
    std::copy_n(text.begin(), n, field.begin());
    return field;
}

}  // namespace quillomar
