#include "app/contentwindowhook.h"

#include "app/dialogtemplate.h"
#include "app/stringtable.h"
#include "platform/settings.h"
#include "viewer/contentwindow.h"

namespace quillomar {

PackerWindow::ContentWindowHook contentWindowHook() {
    return [](PodArchive& archive, DialogHost& owner, ProgressSink& progress) {
        ContentWindow window(archive, owner, progress, [](int id) { return loadString(id); });
        // A setting that cannot be written is not worth a message: the pane works all the same.
        window.rememberPreviewIn({[] { return readSetting("preview") == "shown"; },
                                  [](bool shown) { (void)writeSetting("preview", shown ? "shown" : "hidden"); }});
        owner.runDialog(kContentDialogId, window);
    };
}

}  // namespace quillomar
