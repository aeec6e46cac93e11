#include "app/contentwindowhook.h"

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "viewer/contentwindow.h"

namespace quillomar {

PackerWindow::ContentWindowHook contentWindowHook() {
    return [](PodArchive& archive, DialogHost& owner, ProgressSink& progress) {
        ContentWindow window(archive, owner, progress, [](int id) { return loadString(id); });
        owner.runDialog(kContentDialogId, window);
    };
}

}  // namespace quillomar
