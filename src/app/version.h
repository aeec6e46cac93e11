#pragma once
// The program's version record.
#include <string_view>

namespace quillomar::version {

inline constexpr std::string_view kFileVersion = "1.0.0.0";
inline constexpr std::string_view kProductVersion = "1, 0, 0, 0";
inline constexpr std::string_view kFileDescription = "Quillomar for Korvane";
inline constexpr std::string_view kInternalName = "Quillomar.exe";
inline constexpr std::string_view kOriginalFilename = "Quillomar.exe";
inline constexpr std::string_view kProductName = "Korvane";
inline constexpr std::string_view kCompanyName = "The Quillomar developers";
inline constexpr std::string_view kLegalCopyright = "Copyright (C) 2026 The Quillomar developers";

}  // namespace quillomar::version
