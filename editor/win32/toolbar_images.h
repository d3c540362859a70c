// The toolbar's pictures: one image list made from the strip bitmap at
// module start-up, and the routine that blends a picture over the button
// face the toolbar has already painted.
#pragma once

#include <windows.h>

namespace editor {

void createToolbarImages(HINSTANCE module);
void destroyToolbarImages();

// Draws picture `index` with its top-left corner at (x, y) of dc, faded to
// grey when greyed. Draws nothing when the list has no such picture.
void drawToolbarImage(int index, HDC dc, int x, int y, bool greyed);

}  // namespace editor
