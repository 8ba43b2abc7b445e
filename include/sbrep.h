/* sbrep: carries the figures of an accounting XML export into the table files
 * of an installed tax-filing client. One function; see README.md. Valid C89
 * and C++98. */
#ifndef SBREP_H
#define SBREP_H

#include <stdint.h>

/* The version of sbrep.dll this header describes. */
#define SBREP_VERSION_MAJOR 1
#define SBREP_VERSION_MINOR 2
#define SBREP_VERSION_PATCH 0
#define SBREP_VERSION_STRING "1.2.0"

/* SBREP_STATIC: the library's own objects are linked in, as its tests do. */
#ifdef _WIN32
#define SBREP_CALL __stdcall
#if defined(SBREP_BUILDING) || defined(SBREP_STATIC)
#define SBREP_API
#else
#define SBREP_API __declspec(dllimport)
#endif
#else
#define SBREP_CALL
#ifdef SBREP_BUILDING
#define SBREP_API __attribute__((visibility("default")))
#else
#define SBREP_API
#endif
#endif

/* SAL annotations for MSVC's code analysis, where sal.h is at hand; they
 * compile away everywhere else. */
#if defined(_MSC_VER) && defined(__has_include)
#if __has_include(<sal.h>)
#include <sal.h>
#endif
#endif
#if defined(_In_opt_z_) && defined(_Out_writes_bytes_opt_)
#define SBREP_IN_PATH _In_opt_z_
#define SBREP_OUT_MESSAGE _Out_writes_bytes_opt_(SBREP_MESSAGE_CAPACITY)
#else
#define SBREP_IN_PATH
#define SBREP_OUT_MESSAGE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The tables a call can fill. Any other kind does nothing and returns 0. */
#define SBREP_BALANCE_SHEET 1    /* TABLE08.dat */
#define SBREP_INCOME_STATEMENT 2 /* TABLE09.dat */
#define SBREP_VAT_SCHEDULE_ONE 3 /* TABLE02.dat */

/* The message buffer must hold at least this many bytes. */
#define SBREP_MESSAGE_CAPACITY 32

/* Transfers one table of the export at xml_path (ANSI code page) into the
 * filing client's table file. Returns 0 on success. Returns -1 on failure and
 * copies a GBK message and one NUL into message, unless message is NULL. */
SBREP_API int32_t SBREP_CALL SetSBRepData(SBREP_IN_PATH const char* xml_path, int32_t table_kind,
                                          SBREP_OUT_MESSAGE char* message);

/* SetSBRepData's type, for a host that finds it with
 * GetProcAddress(module, "SetSBRepData"). C has no alias declaration. */
/* NOLINTNEXTLINE(modernize-use-using) */
typedef int32_t(SBREP_CALL* SetSBRepDataFn)(const char* xml_path, int32_t table_kind,
                                            char* message);

#ifdef __cplusplus
}
#endif

#endif
