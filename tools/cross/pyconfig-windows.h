/* pyconfig.h for compiling the extension against the 3.14 headers for 64-bit Windows
   (x86_64-windows-gnu, and clang in MSVC-compatible mode) in tools/check-cross.  The
   interpreter's own Windows pyconfig.h is not installed here: this one states what the
   headers need from it, for an LLP64 target and a shared interpreter, python314.dll. */
#ifndef RALO_UI_CROSS_PYCONFIG_WINDOWS_H
#define RALO_UI_CROSS_PYCONFIG_WINDOWS_H

#if !defined(_WIN64)
#error "pyconfig-windows.h describes 64-bit Windows only"
#endif

#define MS_WIN32
#define MS_WIN64
#define MS_WINDOWS
#define NT_THREADS
#define WITH_THREAD
/* The module links against the interpreter's DLL: its functions and data are dllimport. */
#define Py_ENABLE_SHARED 1
#define HAVE_DECLSPEC_DLL

/* LLP64: long stays 32 bits while pointers and sizes are 64. */
#define SIZEOF_SHORT 2
#define SIZEOF_INT 4
#define SIZEOF_LONG 4
#define SIZEOF_LONG_LONG 8
#define SIZEOF_VOID_P 8
#define SIZEOF_SIZE_T 8
#define SIZEOF_TIME_T 8
#define SIZEOF_OFF_T 4
#define SIZEOF_FPOS_T 8
#define SIZEOF_HKEY 8
#define SIZEOF_WCHAR_T 2
#define SIZEOF_FLOAT 4
#define SIZEOF_DOUBLE 8
#define SIZEOF__BOOL 1
#define ALIGNOF_LONG 4
#define ALIGNOF_SIZE_T 8
#define ALIGNOF_MAX_ALIGN_T 8
/* Py_ssize_t is then intptr_t, 64 bits. */

#define DOUBLE_IS_LITTLE_ENDIAN_IEEE754 1
#define PY_SUPPORT_TIER 1
#define WITH_DOC_STRINGS 1
#define WITH_PYMALLOC 1
#define WITH_MIMALLOC 1
#define HAVE_DYNAMIC_LOADING
#define HAVE_STDARG_PROTOTYPES
#define HAVE_WCHAR_H 1
#define HAVE_ERRNO_H 1
#define HAVE_IO_H 1
#define HAVE_PROCESS_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_LARGEFILE_SUPPORT
#define PLATFORM "win32"
#define Py_WINVER 0x0A00
#define Py_NTDDI 0x0A000000

#ifdef __cplusplus
static_assert(SIZEOF_SHORT == sizeof(short) && SIZEOF_INT == sizeof(int) && SIZEOF_LONG == sizeof(long) &&
                  SIZEOF_LONG_LONG == sizeof(long long) && SIZEOF_VOID_P == sizeof(void*) &&
                  SIZEOF_SIZE_T == sizeof(__SIZE_TYPE__) && SIZEOF_WCHAR_T == sizeof(wchar_t) &&
                  SIZEOF_FLOAT == sizeof(float) && SIZEOF_DOUBLE == sizeof(double) &&
                  ALIGNOF_LONG == alignof(long) && ALIGNOF_SIZE_T == alignof(__SIZE_TYPE__),
              "pyconfig-windows.h does not describe this target");
#endif

#endif
