// Any bytes as the start of an entry: the picture signatures and the sizes their headers claim,
// the text detection in both cut modes and the hex dump. Text handed to the window must be valid
// UTF-8, and the dump one line per 16 bytes.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "fuzzsupport.h"
#include "platform/codepage.h"
#include "preview/pictureformat.h"
#include "preview/textdump.h"

using namespace quillomar;

namespace {

bool validUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (nextUtf8(text, at) < 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    const CodePage& codePage = archiveCodePage();

    const PictureFormat format = pictureFormat("ENTRY.BIN", bytes);
    fuzz::check(!decodedHere(format), "a format decoded here was chosen by its bytes");
    for (PictureFormat each : {PictureFormat::Bmp, PictureFormat::Png, PictureFormat::Gif, PictureFormat::Jpeg})
        (void)claimedSize(each, bytes);

    for (Cut cut : {Cut::No, Cut::Yes}) {
        if (std::optional<std::string> text = textFromBytes(bytes, cut, codePage)) {
            fuzz::check(validUtf8(*text), "text that is not valid UTF-8");
            fuzz::check(text->find('\0') == std::string::npos, "text holding a NUL");
        }
    }
    const std::string dump = hexDump(bytes.first(std::min<std::size_t>(size, 4096)), codePage);
    fuzz::check(validUtf8(dump), "a dump that is not valid UTF-8");
    const auto lines = static_cast<std::size_t>(std::count(dump.begin(), dump.end(), '\n'));
    fuzz::check(lines == (std::min<std::size_t>(size, 4096) + 15) / 16,
                "a dump line count that is not one per 16 bytes");
    return 0;
}
