// Window positions and sizes of the screens are given in twips: 1440 twips
// make one logical inch of the screen (about 15 twips a pixel at 96 dpi).
#pragma once

class QWidget;

namespace kelvora {

// Logical dots per inch of the screen the program runs on (96 when unknown).
double LogicalDpi();

// Twips to device-independent pixels, rounded to the nearest pixel.
int TwipsToPixels(int twips);

}  // namespace kelvora
