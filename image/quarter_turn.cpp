// The quarter turn: a tiled transpose straight in the pixel memory.
#include "image/quarter_turn.h"

#include "image/Zerlin.h"
#include "image/copied_colors.h"
#include "platform/imagelib/tiled_transpose.h"

dib TurnDibQuarter(const dib& image) {
    if (!image.poi || !image.pmi) return dib{};
    const int bits = DibBitCount(image);
    dib turned = newdib(DibHeight(image), DibWidth(image), bits, image.pmi,
                        lumivane::CopiedColorCount(image));
    if (!turned.poi) return turned;

    // In storage order the turn is a transpose: stored row r, column x of the source becomes
    // stored row x, column H - 1 - r of the turned image.
    lumivane::TransposePixels(image, turned, true, false);
    return turned;
}

bool TurnBackgroundQuarter(dib& bkgnd) {
    const dib turned = TurnDibQuarter(bkgnd);
    if (!turned.poi) return false;
    FreeDib(bkgnd);
    bkgnd = turned;
    return true;
}
