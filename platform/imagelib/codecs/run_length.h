// The cutting shared by the run-length coders (RLE8 bitmaps, Targa, ByteRun1): a line becomes
// runs of equal elements and literal stretches between them.
#pragma once

namespace lumivane {

// Cuts elements 0..size-1 into runs of at least minRun equal elements and the stretches between
// them, each piece at most maxLength long, and hands them on in order as onRun(first, count)
// and onLiteral(first, count). equal(a, b) compares elements a and b.
template <typename Equal, typename OnRun, typename OnLiteral>
void SplitRuns(int size, int minRun, int maxLength, Equal equal, OnRun onRun, OnLiteral onLiteral) {
    auto startsRun = [&](int at) {
        if (at + minRun > size) return false;
        for (int k = 1; k < minRun; ++k)
            if (!equal(at, at + k)) return false;
        return true;
    };
    int i = 0;
    while (i < size) {
        if (startsRun(i)) {
            int run = minRun;
            while (i + run < size && run < maxLength && equal(i, i + run)) ++run;
            onRun(i, run);
            i += run;
            continue;
        }
        int end = i + 1;
        while (end < size && end - i < maxLength && !startsRun(end)) ++end;
        onLiteral(i, end - i);
        i = end;
    }
}

}  // namespace lumivane
