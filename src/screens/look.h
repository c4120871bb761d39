// Shared look of the program: its icon, the splash picture and the
// program-wide mouse pointer.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace kelvora {

// The program's icon (also the main window's): the drawing
// resources/icons/kelvora.svg, the same as the desktop icon.
QIcon ProgramIcon();
// The icon drawn at `size` x `size` pixels (the desktop's PNG icons are drawn
// with this at build time).
QImage ProgramIconImage(int size);

// The splash picture, 550 x 200 pixels.
QPixmap SplashPicture();

// Sets the program-wide mouse pointer to the arrow. It stays so over every
// window of the program for the rest of the run.
void SetProgramPointerArrow();

}  // namespace kelvora
