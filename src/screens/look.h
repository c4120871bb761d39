// Shared look of the program: its icon, the splash picture and the
// program-wide mouse pointer.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kelvora {

// The program's icon (also the main window's).
QIcon ProgramIcon();

// The splash picture, 550 x 200 pixels.
QPixmap SplashPicture();

// Sets the program-wide mouse pointer to the arrow. It stays so over every
// window of the program for the rest of the run.
void SetProgramPointerArrow();

}  // namespace kelvora
