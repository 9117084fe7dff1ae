/* Included first in every source by tools/check-cross when it compiles for the
   x86_64-pc-windows-msvc triple (clang's MSVC-compatible mode) with zig's libc++ and mingw-w64
   headers, MSVC's own being unavailable here.  It settles the places where those headers
   disagree with that mode; the sources themselves see the MSVC predefinitions unchanged. */
#ifndef RALO_UI_CROSS_MSVC_MODE_H
#define RALO_UI_CROSS_MSVC_MODE_H

/* mingw-w64 declares _setjmp(jmp_buf, void*); clang's <intrin.h>, in this mode, MSVC's
   _setjmp(jmp_buf).  mingw's declaration is renamed out of the way. */
#define _setjmp ralo_ui_mingw_setjmp
#include <setjmp.h>
#undef _setjmp

/* clang's <intrin.h> defines MSVC's intrinsics in this mode; mingw-w64's own definitions, which
   <windows.h> reaches, would define many of them again.  Without this macro, set by _mingw.h
   (included by now), mingw-w64 leaves them to the compiler. */
#undef __MINGW_INTRIN_INLINE

/* libc++'s Windows locale support calls _strtold_l, which MSVC's C runtime has and mingw-w64's
   headers do not declare. */
#include <locale.h>
#ifdef __cplusplus
extern "C" long double __cdecl _strtold_l(const char*, char**, _locale_t);
#endif

/* MSVC's C runtime declares the classification functions for float, double and long double in
   C++; libc++, in this mode, relies on that.  mingw-w64 has them as macros only. */
#include <math.h>
#ifdef __cplusplus
#define RALO_UI_CLASSIFY(name)                                                       \
    inline bool name(float x) noexcept { return __builtin_##name(x); }             \
    inline bool name(double x) noexcept { return __builtin_##name(x); }            \
    inline bool name(long double x) noexcept { return __builtin_##name(x); }
RALO_UI_CLASSIFY(isnan)
RALO_UI_CLASSIFY(isinf)
RALO_UI_CLASSIFY(isfinite)
RALO_UI_CLASSIFY(isnormal)
RALO_UI_CLASSIFY(signbit)
#undef RALO_UI_CLASSIFY
#endif

#endif
