// diff: two archives compared header field by header field, then entry by entry under their
// names upper-cased in the code page (the case a writer stores them in does not matter).

#include <algorithm>
#include <cerrno>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/codepage.h"
#include "platform/fileio.h"
#include "platform/messages.h"

namespace quillomar::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kSame = 0;
constexpr int kDifferent = 1;
constexpr int kTrouble = 2;
constexpr std::size_t kCompareChunk = std::size_t{256} << 10;

struct HeaderField {
    std::string field;
    Json a;
    Json b;
};

struct EntryChange {
    char change;  // '+', '-', 'M' or 'T'
    std::string name;
};

std::vector<HeaderField> headerDifferences(const PodArchive& a, const PodArchive& b) {
    auto pod3Text = [](const PodArchive& archive, std::string text) {
        return archive.version() == ArchiveVersion::Pod3 ? Json(std::move(text)) : Json(nullptr);
    };
    auto priority = [](const PodArchive& archive) {
        return archive.version() == ArchiveVersion::Pod3 ? Json(archive.header().priority) : Json(nullptr);
    };
    const HeaderField fields[] = {
        {"version", static_cast<int>(a.version()), static_cast<int>(b.version())},
        {"description", a.description(), b.description()},
        {"author", pod3Text(a, a.author()), pod3Text(b, b.author())},
        {"copyright", pod3Text(a, a.copyright()), pod3Text(b, b.copyright())},
        {"priority", priority(a), priority(b)},
    };
    std::vector<HeaderField> differing;
    for (const HeaderField& field : fields) {
        if (field.a != field.b) differing.push_back(field);
    }
    return differing;
}

// Same bytes in both entries (of equal size): true or false, nullopt after reporting a read failure.
std::optional<bool> sameBytes(const PodArchive& a, const ArchiveEntry& x, const PodArchive& b, const ArchiveEntry& y) {
    const std::uint64_t size = x.size;
    std::vector<std::byte> left(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCompareChunk)));
    std::vector<std::byte> right(left.size());
    for (std::uint64_t from = 0; from < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - from, left.size()));
        const ReadResult readLeft = a.readEntryData(x, from, std::span(left.data(), want));
        const std::int64_t gotLeft = readLeft.count;
        if (!readLeft.ok()) {
            report(readLeft.failure);
            return std::nullopt;
        }
        const ReadResult readRight = b.readEntryData(y, from, std::span(right.data(), want));
        const std::int64_t gotRight = readRight.count;
        if (!readRight.ok()) {
            report(readRight.failure);
            return std::nullopt;
        }
        if (gotLeft != static_cast<std::int64_t>(want) || gotRight != static_cast<std::int64_t>(want)) {
            // A file ended inside an entry: it shrank since its directory was checked.
            showSystemError(ENODATA, gotLeft != static_cast<std::int64_t>(want) ? a.path() : b.path());
            return std::nullopt;
        }
        if (!std::equal(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(want), right.begin())) return false;
        from += want;
    }
    return true;
}

// The entries under each comparison key, in directory order. Every entry counts, duplicates too:
// an archive with one more entry under a name is a different archive.
std::map<std::string, std::vector<std::size_t>> entriesByKey(const PodArchive& archive) {
    std::map<std::string, std::vector<std::size_t>> byKey;
    const CodePage& page = archiveCodePage();
    for (std::size_t i = 0; i < archive.entries().size(); ++i) {
        std::string key = page.upper(archive.entries()[i].name);
        std::replace(key.begin(), key.end(), '/', '\\');
        byKey[key].push_back(i);
    }
    return byKey;
}

std::string headerValueText(const Json& value) {
    if (value.is_null()) return "(none)";
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    escapeJsonControls(text);
    return text;
}

}  // namespace

int runDiff(const DiffOptions& options, Console& console) {
    PodArchive a;
    PodArchive b;
    if (!openArchive(a, options.first, ArchivePart::Directory, console) ||
        !openArchive(b, options.second, ArchivePart::Directory, console)) {
        return kTrouble;
    }

    const std::vector<HeaderField> header = headerDifferences(a, b);
    const std::map<std::string, std::vector<std::size_t>> inA = entriesByKey(a);
    const std::map<std::string, std::vector<std::size_t>> inB = entriesByKey(b);
    static const std::vector<std::size_t> kNone;

    std::vector<EntryChange> changes;
    auto ia = inA.begin();
    auto ib = inB.begin();
    while (ia != inA.end() || ib != inB.end()) {
        const bool takeA = ib == inB.end() || (ia != inA.end() && ia->first <= ib->first);
        const bool takeB = ia == inA.end() || (ib != inB.end() && ib->first <= ia->first);
        const std::vector<std::size_t>& xs = takeA ? ia->second : kNone;
        const std::vector<std::size_t>& ys = takeB ? ib->second : kNone;
        // The last entries of a name are the ones extraction leaves in place: they are compared,
        // and the entries before them pair up from the end; what is left over was added or removed.
        const std::size_t paired = std::min(xs.size(), ys.size());
        for (std::size_t i = 0; i + paired < xs.size(); ++i)
            changes.push_back({'-', storedNameToUtf8(a.entries()[xs[i]].name)});
        for (std::size_t i = 0; i + paired < ys.size(); ++i)
            changes.push_back({'+', storedNameToUtf8(b.entries()[ys[i]].name)});
        for (std::size_t k = 0; k < paired; ++k) {
            const ArchiveEntry& x = a.entries()[xs[xs.size() - paired + k]];
            const ArchiveEntry& y = b.entries()[ys[ys.size() - paired + k]];
            bool bytesDiffer = x.size != y.size;
            if (!bytesDiffer) {
                const std::optional<bool> same = sameBytes(a, x, b, y);
                if (!same) return kTrouble;
                bytesDiffer = !*same;
            }
            if (bytesDiffer) {
                changes.push_back({'M', storedNameToUtf8(y.name)});
            } else if (x.time != y.time) {
                changes.push_back({'T', storedNameToUtf8(y.name)});
            }
        }
        if (takeA) ++ia;
        if (takeB) ++ib;
    }

    OutputBuffer out(kStandardOutputFd);
    if (options.json) {
        Json result = {{"header", Json::array()}, {"entries", Json::array()}, {"same", changes.empty()}};
        for (const HeaderField& field : header) {
            result["header"].push_back({{"field", field.field}, {"a", field.a}, {"b", field.b}});
        }
        for (const EntryChange& change : changes) {
            result["entries"].push_back({{"change", std::string(1, change.change)}, {"name", change.name}});
        }
        out.append(result.dump(2, ' ', false, Json::error_handler_t::replace));
        escapeJsonControls(out.text());
        out.append('\n');
    } else {
        for (const HeaderField& field : header) {
            out.append(field.field + ": " + headerValueText(field.a) + " -> " + headerValueText(field.b) + "\n");
        }
        for (const EntryChange& change : changes) {
            out.append(change.change);
            out.append(' ');
            appendTerminalSafe(out.text(), change.name);
            out.append('\n');
        }
    }
    if (!out.flush()) {
        report(out.failure());
        return kTrouble;
    }
    return changes.empty() ? kSame : kDifferent;
}

}  // namespace quillomar::cli
