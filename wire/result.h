/*
 * result.h - the two result code spaces and the translation between them.
 *
 * The host application reports each answered request as an application error
 * code (the result byte of its order head); a client sees a UMSP result code
 * (byte 11 of the answer head). Owns no state: the translation is a constant
 * table and any thread may call these functions. Every answer handler
 * translates the order's result byte first, so later tests of that byte see
 * the UMSP code (0 still means success).
 */
#ifndef VXQ_WIRE_RESULT_H
#define VXQ_WIRE_RESULT_H

#include <stdint.h>

/* UMSP result codes the service sets by itself, before the host is asked. */
#define VXQ_DPS_UMSP_RESULT_SUCCESS 0
#define VXQ_DPS_UMSP_RESULT_SERVICE_FAIL 1    /* transaction, event queue or memory */
#define VXQ_DPS_UMSP_RESULT_PARAM_ERROR 2     /* wrong length or field out of range */
#define VXQ_DPS_UMSP_RESULT_PASSWORD_ERROR 4  /* login digest does not match */
#define VXQ_DPS_UMSP_RESULT_NO_PERMISSION 5   /* user lacks the right */
#define VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN 6   /* login id unknown or not logged in */
#define VXQ_DPS_UMSP_RESULT_TALK_BUSY 7       /* the talk channel is already talking */
#define VXQ_DPS_UMSP_RESULT_RESOURCE_LIMIT 12 /* media resource budget exceeded */
#define VXQ_DPS_UMSP_RESULT_NOT_SUPPORTED 40  /* known id without a handler */
#define VXQ_DPS_UMSP_RESULT_FUNC_ERROR 42     /* unknown function id */
#define VXQ_DPS_UMSP_RESULT_OTHER 99

/* Buffer size the result text needs (the longest text is far shorter). */
#define VXQ_DPS_RESULT_TEXT_SIZE 128

/* Translates an application error code: writes the UMSP result code to
 * *out_pucUmspResult and its text (zero-terminated, at most
 * VXQ_DPS_RESULT_TEXT_SIZE bytes with the zero) to out_sText. Returns 1. */
int VXQ_F_DPS_MW_TransErrorCodeToUmspResult(uint8_t in_ucErrorCode, uint8_t *out_pucUmspResult,
                                            char *out_sText);

/* Translates the application error code in *inout_pucResult in place and
 * shows "App message: %s (response): [%d] %s." with the operation name, the
 * code as received and its text. Returns 1. */
int VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(uint8_t *inout_pucResult, const char *in_sOperName);

#endif /* VXQ_WIRE_RESULT_H */
