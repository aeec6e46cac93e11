#pragma once
// Where the content window (dialog 103) plugs into the packer window.

#include "packer/packerwindow.h"

namespace quillomar {

// What the packer window runs after reading an archive's directory. Empty until the content
// window exists; its builder returns here a hook that creates the content window's logic over the
// archive and runs it with owner.runDialog(kContentDialogId, logic).
PackerWindow::ContentWindowHook contentWindowHook();

}  // namespace quillomar
