#pragma once
// The user's settings of the window program, each a name and a short text: on Linux a file of
// "name=value" lines, $XDG_CONFIG_HOME/quillomar/settings (~/.config when unset); on Windows the
// string values of HKEY_CURRENT_USER\Software\Quillomar.

#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace quillomar {

// nullopt when the setting was never written or cannot be read.
std::optional<std::string> readSetting(std::string_view name);
// Writes one setting, keeping the others. An empty record, or what failed.
[[nodiscard]] Failure writeSetting(std::string_view name, std::string_view value);

// The Linux settings file: its lines with name set to value (added at the end when missing).
std::string withSetting(std::string_view text, std::string_view name, std::string_view value);
// The value of name in a settings file's text.
std::optional<std::string> settingIn(std::string_view text, std::string_view name);

}  // namespace quillomar
