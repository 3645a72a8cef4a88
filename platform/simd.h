// Whether the pixel loops may use SSE2 intrinsics. Every such loop also has a plain C++ form
// with the same output; LUMIVANE_PORTABLE (the CMake option) selects it on any machine, and it
// is the only form where the compiler does not target SSE2.
#pragma once

#if !defined(LUMIVANE_PORTABLE) && (defined(__SSE2__) || defined(_M_X64))
#define LUMIVANE_HAVE_SSE2 1
#include <emmintrin.h>
#else
#define LUMIVANE_HAVE_SSE2 0
#endif
