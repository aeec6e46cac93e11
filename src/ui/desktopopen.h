#pragma once
// Handing a file to the desktop's "open": first asking whether the desktop has a program for the
// file's type at all, since the launcher (xdg-open) starts in the background and cannot say.

#include <QString>
#include <QStringList>

namespace quillomar {

enum class DesktopProgram {
    Found,    // a program is associated with the file's type or one of its parent types
    None,     // the desktop has no program for it
    Unknown,  // the desktop cannot be asked (no xdg-utils)
};

// Asks the desktop, with the tools its launcher uses, whether a program opens path: the file's
// type as `xdg-mime query filetype` names it (the type xdg-open goes by), then `xdg-mime query
// default` for that type and for each type it is a kind of (text/x-csrc is also text/plain),
// as desktops that open by type honour those too. The catch-all application/octet-stream counts
// only when it is the file's own type. xdg-mime follows the running desktop's own rules
// (mimeapps.list and the desktop-entry caches on a plain X session, the desktop's tools under
// GNOME or KDE).
DesktopProgram desktopProgramFor(const QString& path);

// Opens path with the desktop's program for its type, through the toolkit's desktop services or,
// on a platform without them, xdg-open. False when the desktop has no program for it or the
// launcher could not be started.
bool openWithDesktopProgram(const QString& path);

}  // namespace quillomar
