#include "app/registration_script.h"

#include <memory>
#include <optional>
#include <vector>

#include "app/registration.h"

namespace quillomar {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A key or value name: not empty, no separator, no control character.
bool isValidName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char ca = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        char cb = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (ca != cb) return false;
    }
    return true;
}

struct Token {
    enum Kind { Word, Quoted, OpenBrace, CloseBrace, Equals, End } kind = End;
    std::string text;
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    // False on an unterminated quoted name.
    bool next(Token& token) {
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
        token = Token{};
        if (pos_ == text_.size()) return true;
        char c = text_[pos_];
        if (c == '{' || c == '}' || c == '=') {
            token.kind = c == '{' ? Token::OpenBrace : (c == '}' ? Token::CloseBrace : Token::Equals);
            ++pos_;
            return true;
        }
        if (c == '\'') {
            token.kind = Token::Quoted;
            for (++pos_; pos_ < text_.size(); ++pos_) {
                if (text_[pos_] != '\'') {
                    token.text += text_[pos_];
                } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    token.text += '\'';
                    ++pos_;
                } else {
                    ++pos_;
                    return true;
                }
            }
            return false;
        }
        token.kind = Token::Word;
        while (pos_ < text_.size() && !isBlank(text_[pos_]) && text_[pos_] != '{' && text_[pos_] != '}' &&
               text_[pos_] != '=' && text_[pos_] != '\'') {
            token.text += text_[pos_++];
        }
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The script as read: keys with their flags, default value, named values and subkeys.
struct ScriptKey {
    std::string name;
    bool noRemove = false;
    bool forceRemove = false;
    bool deleteKey = false;
    std::optional<std::string> defaultValue;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<ScriptKey> subkeys;
};

class Parser {
public:
    explicit Parser(std::string_view text) : tokens_(text) {}

    // Roots with their keys; nullopt on any syntax error.
    std::optional<std::vector<ScriptKey>> parseScript() {
        std::vector<ScriptKey> roots;
        if (!advance()) return std::nullopt;
        while (token_.kind != Token::End) {
            if (token_.kind != Token::Word && token_.kind != Token::Quoted) return std::nullopt;
            std::string_view root = registryRootName(token_.text);
            if (root.empty()) return std::nullopt;
            ScriptKey key;
            key.name = std::string(root);
            key.noRemove = true;  // a root is never deleted
            if (!advance() || token_.kind != Token::OpenBrace) return std::nullopt;
            if (!parseBody(key, false)) return std::nullopt;
            roots.push_back(std::move(key));
        }
        return roots;
    }

private:
    bool advance() { return tokens_.next(token_); }

    // After '{': keys (and, inside a key, 'val' lines) up to the matching '}'.
    bool parseBody(ScriptKey& parent, bool valuesAllowed) {
        if (!advance()) return false;
        while (token_.kind != Token::CloseBrace) {
            if (token_.kind != Token::Word && token_.kind != Token::Quoted) return false;
            if (valuesAllowed && token_.kind == Token::Word && sameWord(token_.text, "val")) {
                if (!advance() || (token_.kind != Token::Word && token_.kind != Token::Quoted)) return false;
                std::string name = token_.text;
                std::optional<std::string> value = parseAssignment();
                if (!value || !isValidName(name)) return false;
                parent.values.emplace_back(std::move(name), std::move(*value));
                if (!advance()) return false;
                continue;
            }
            ScriptKey key;
            if (!parseKey(key)) return false;
            parent.subkeys.push_back(std::move(key));
        }
        return advance();  // past '}'
    }

    // At the first token of a key (a flag or its name); leaves the token after the key.
    bool parseKey(ScriptKey& key) {
        while (token_.kind == Token::Word) {
            if (sameWord(token_.text, "NoRemove")) {
                key.noRemove = true;
            } else if (sameWord(token_.text, "ForceRemove")) {
                key.forceRemove = true;
            } else if (sameWord(token_.text, "Delete")) {
                key.deleteKey = true;
            } else {
                break;
            }
            if (!advance()) return false;
        }
        if (token_.kind != Token::Word && token_.kind != Token::Quoted) return false;
        key.name = token_.text;
        if (!isValidName(key.name)) return false;
        if (!advance()) return false;
        if (token_.kind == Token::Equals) {
            std::optional<std::string> value = parseValueAfterEquals();
            if (!value) return false;
            key.defaultValue = std::move(value);
            if (!advance()) return false;
        }
        if (token_.kind == Token::OpenBrace) return parseBody(key, true);
        return true;
    }

    // At a value's name: reads '=' type value.
    std::optional<std::string> parseAssignment() {
        if (!advance() || token_.kind != Token::Equals) return std::nullopt;
        return parseValueAfterEquals();
    }

    // At '=': reads the type and the value; only string values exist here.
    std::optional<std::string> parseValueAfterEquals() {
        if (!advance() || token_.kind != Token::Word || !sameWord(token_.text, "s")) return std::nullopt;
        if (!advance() || (token_.kind != Token::Quoted && token_.kind != Token::Word)) return std::nullopt;
        return token_.text;
    }

    Tokenizer tokens_;
    Token token_;
};

void registerKey(const ScriptKey& key, const std::string& path, RegistryStore& store) {
    if (key.deleteKey) {
        store.deleteKeyTree(path);
        return;
    }
    if (key.forceRemove) store.deleteKeyTree(path);
    store.createKey(path);
    if (key.defaultValue) store.setValue(path, "", *key.defaultValue);
    for (const auto& [name, value] : key.values) store.setValue(path, name, value);
    for (const ScriptKey& sub : key.subkeys) registerKey(sub, path + "\\" + sub.name, store);
}

void unregisterKey(const ScriptKey& key, const std::string& path, RegistryStore& store) {
    if (!store.hasKey(path)) return;
    if (key.forceRemove || key.deleteKey) {
        store.deleteKeyTree(path);
        return;
    }
    for (const ScriptKey& sub : key.subkeys) unregisterKey(sub, path + "\\" + sub.name, store);
    if (key.noRemove) return;
    // The key goes with its values unless subkeys that the script does not name remain.
    if (store.subkeys(path).empty()) store.deleteKeyTree(path);
}

}  // namespace

bool expandScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                  std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '%') {
            out += script[i];
            continue;
        }
        std::size_t end = script.find('%', i + 1);
        if (end == std::string_view::npos) return false;
        std::string_view name = script.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += '%';
        } else {
            auto it = replacements.find(std::string(name));
            if (it == replacements.end()) return false;
            out += it->second;
        }
        i = end;
    }
    return true;
}

int runRegistryScript(std::string_view script, const std::map<std::string, std::string>& replacements,
                      ScriptMode mode, RegistryStore& store) {
    std::string text;
    if (!expandScript(script, replacements, text)) return status::kScriptError;
    std::optional<std::vector<ScriptKey>> roots = Parser(text).parseScript();
    if (!roots) return status::kScriptError;
    for (const ScriptKey& root : *roots) {
        for (const ScriptKey& key : root.subkeys) {
            std::string path = root.name + "\\" + key.name;
            if (mode == ScriptMode::Register) {
                registerKey(key, path, store);
            } else {
                unregisterKey(key, path, store);
            }
        }
    }
    return status::kOk;
}

}  // namespace quillomar
