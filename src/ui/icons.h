#pragma once
#include <QIcon>

namespace quillomar {

// The icon of an icon resource id: the desktop theme's "quillomar" icon when one is installed,
// else a plain drawn stand-in. Icon 207 is the packer window's.
QIcon iconForResource(int iconId);

}  // namespace quillomar
