#pragma once
// The preview pane of the Win32 host: a window class of the program's own that shows text in a
// read-only edit control that scrolls, a picture scaled to fit (never beyond four times its size)
// over a line with its size in pixels, or a message in its middle. BMP, PNG, JPEG and GIF are
// decoded with the Windows Imaging Component; TGA and PCX come decoded as pixels.

#include <windows.h>

#include <string>

#include "dialog/dialoghost.h"

namespace quillomar::win32 {

// Registers the class (win32/dialogbytes.h: kPaneClass) once, before a dialog that holds a pane
// is made. False when it cannot be.
bool registerPaneClass();

// What pane (a window of the class) is to show.
void setPaneContent(HWND pane, const PaneContent& content);

// What it shows, for tests: the kind (an encoded picture the imaging component could not read
// shows as a message), its text or message, the picture's caption and its size on screen.
struct PaneState {
    PaneContent::Kind kind = PaneContent::Kind::Empty;
    std::string text;
    std::string caption;
    int pictureWidth = 0;
    int pictureHeight = 0;
    SIZE shownSize{};
};
PaneState paneState(HWND pane);

}  // namespace quillomar::win32
