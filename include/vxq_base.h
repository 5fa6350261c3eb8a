/*
 * vxq_base.h - what every public header of the device protocol service shares.
 *
 * Owns nothing at run time. Defines the export marker and the C linkage
 * brackets so that every public header compiles as C99 and as C++, and the
 * result convention of the whole API: 1 for success, 0 for failure, null for
 * a lookup that finds nothing. Any thread may include it.
 */
#ifndef VXQ_BASE_H
#define VXQ_BASE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define VXQ_API __attribute__((visibility("default")))
#else
#define VXQ_API
#endif

#ifdef __cplusplus
#define VXQ_EXTERN_C_BEGIN extern "C" {
#define VXQ_EXTERN_C_END }
#else
#define VXQ_EXTERN_C_BEGIN
#define VXQ_EXTERN_C_END
#endif

/* Product version of the library, also reported by the device. */
#define VXQ_DPS_VERSION_TEXT "2.4.2.5"

#endif /* VXQ_BASE_H */
