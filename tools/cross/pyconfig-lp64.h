/* pyconfig.h for the LP64 targets of tools/check-cross (macOS, musl Linux): the build
   machine's x86_64 Linux one, copied beside this file as pyconfig-linux.h.  The type sizes
   it states are checked against the target here, at compile time. */
#ifndef RALO_UI_CROSS_PYCONFIG_LP64_H
#define RALO_UI_CROSS_PYCONFIG_LP64_H

#include "pyconfig-linux.h"

#ifdef __cplusplus
static_assert(SIZEOF_SHORT == sizeof(short) && SIZEOF_INT == sizeof(int) && SIZEOF_LONG == sizeof(long) &&
                  SIZEOF_LONG_LONG == sizeof(long long) && SIZEOF_VOID_P == sizeof(void*) &&
                  SIZEOF_SIZE_T == sizeof(__SIZE_TYPE__) && SIZEOF_WCHAR_T == sizeof(wchar_t) &&
                  SIZEOF_FLOAT == sizeof(float) && SIZEOF_DOUBLE == sizeof(double) &&
                  SIZEOF_TIME_T == sizeof(long) && ALIGNOF_LONG == alignof(long) &&
                  ALIGNOF_SIZE_T == alignof(__SIZE_TYPE__),
              "pyconfig-linux.h does not describe this target");
#ifndef __APPLE__  // there pymacconfig.h, which Python.h includes, sets it per architecture
static_assert(SIZEOF_LONG_DOUBLE == sizeof(long double), "pyconfig-linux.h does not describe this target");
#endif
#endif

#endif
