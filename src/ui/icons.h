#pragma once
#include <QIcon>

namespace quillomar {

// The icon of an icon resource id: kProgramIcon, the packer window's, is the program's own drawing
// (built into the program at every size); any other id has none.
QIcon iconForResource(int iconId);

}  // namespace quillomar
