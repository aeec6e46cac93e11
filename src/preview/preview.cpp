#include "preview/preview.h"

#include <cerrno>

namespace quillomar {

Preview makePreview(const PodArchive&, const ArchiveEntry&) {
    Preview preview;
    preview.reason = "not built yet";
    preview.failure = Failure::system(ENOTSUP, {}, preview.reason);
    return preview;
}

}  // namespace quillomar
