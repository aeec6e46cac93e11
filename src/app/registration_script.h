#pragma once
// The registry script: the text form in which the program states the keys and values of its
// application identity, run against the registry store to register or to unregister.
//
//     HKCR                                 a root, then its keys in braces
//     {
//         NoRemove AppID                   NoRemove: never deleted when unregistering
//         {
//             '%APPID%' = s 'Quillomar'    a key with its default string value
//             'Quillomar.EXE'
//             {
//                 val AppID = s '%APPID%'  a named string value
//             }
//         }
//     }
//
// Names are bare words or quoted with ' (a doubled '' inside stands for one quote). Key flags:
// NoRemove (kept when unregistering; only its subkeys are processed), ForceRemove (deleted with
// everything beneath it before registering, and when unregistering), Delete (deleted in both
// modes). Unregistering deletes each other key once its subkeys are processed, unless keys that
// the script does not name remain beneath it. %NAME% is replaced before the script runs; %% is '%'.
// Only string values ('s') exist.

#include <map>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace quillomar {

enum class ScriptMode { Register, Unregister };

// Runs the script in the given mode. Returns 0, or the status for a script that cannot be read
// (an unknown replacement, a syntax error, a root or value type it does not know); in that case
// the store is left as it was.
int runRegistryScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                      ScriptMode mode, RegistryStore& store);

// Replaces %NAME% with its value and %% with '%'; false for an unknown or unterminated name.
bool expandScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                  std::string& out);

}  // namespace quillomar
