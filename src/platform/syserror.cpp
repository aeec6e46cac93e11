#include "platform/syserror.h"

#include <cstring>

namespace quillomar {

std::string systemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string("Unknown error ") + std::to_string(error);
}

}  // namespace quillomar
