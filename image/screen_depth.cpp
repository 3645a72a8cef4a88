// Placeholder until the device layer measures the screen.
#include "image/Zerlin.h"

LONG ScreenBitsPerPixel() { return 32; }
