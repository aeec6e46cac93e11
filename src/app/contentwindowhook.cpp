#include "app/contentwindowhook.h"

namespace quillomar {

PackerWindow::ContentWindowHook contentWindowHook() { return {}; }

}  // namespace quillomar
