#pragma once
// What the content window's preview pane is given for an entry's preview: text as text, a dump
// in a fixed-width face, a picture as its pixels or as its file for the host's toolkit, and for
// what cannot be shown the window's words for it.

#include <string>

#include "dialog/dialoghost.h"
#include "preview/preview.h"

namespace quillomar {

// sizeFormat: a picture's caption ("%1" its width, "%2" its height); cannotShow: the message for
// an entry that cannot be shown, also for a picture the host's toolkit cannot read. The preview's
// bytes and pixels are moved into the result.
PaneContent paneContentOf(Preview&& preview, const std::string& sizeFormat, const std::string& cannotShow);

}  // namespace quillomar
