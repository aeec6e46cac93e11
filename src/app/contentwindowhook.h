#pragma once
// Where the content window (dialog 103) plugs into the packer window.

#include "packer/packerwindow.h"

namespace quillomar {

// What the packer window runs after reading an archive's directory: the content window's logic
// over the archive, run modally over the packer window with owner.runDialog(kContentDialogId,
// logic), its texts in the user's language.
PackerWindow::ContentWindowHook contentWindowHook();

}  // namespace quillomar
