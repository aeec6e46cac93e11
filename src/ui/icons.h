#pragma once
#include <QIcon>

namespace quillomar {

// The icon of an icon resource id: icon 207, the packer window's, is the program's own drawing
// (built into the program at every size); any other id has none.
QIcon iconForResource(int iconId);

}  // namespace quillomar
