/*
 * Application error code to UMSP result code translation and its log line.
 */
#include "wire/result.h"

#include <stdio.h>

#include "vxq_log.h"

typedef struct _VXQ_S_DPS_RESULT_MAP {
    uint8_t ucErrorCode;
    uint8_t ucUmspResult;
    const char *sText;
} _VXQ_S_DPS_RESULT_MAP;

static const _VXQ_S_DPS_RESULT_MAP s_tResultMap[] = {
    {0, 0, "Success"},
    {1, 40, "Not support operate"},
    {2, 41, "Ban modify"},
    {3, 42, "Message function error"},
    {4, 2, "Param error"},
    {5, 43, "Id error"},
    {9, 99, "Other"},
    {20, 50, "Open stream fail"},
    {21, 51, "Not support sub stream"},
    {22, 52, "Not support ptz"},
    {23, 53, "Not support force i frame"},
    {24, 54, "Not support talk"},
    {25, 55, "Channel no error"},
    {26, 56, "Sub stream no error"},
    {27, 57, "Start talk fail"},
    {28, 3, "User name error"},
    {29, 4, "Password error"},
    {101, 5, "Without permission"},
    {102, 9, "No subscribe"},
    {103, 8, "Query file fail"},
    {104, 10, "Resource used"},
    {105, 11, "Resource not open"},
    {106, 12, "Resource no idle"},
    {107, 13, "Resource no exist"},
    {108, 14, "Resource open fail"},
    {109, 15, "File operation fail"},
    {200, 200, "Success and restart"},
};

int VXQ_F_DPS_MW_TransErrorCodeToUmspResult(uint8_t in_ucErrorCode, uint8_t *out_pucUmspResult,
                                            char *out_sText)
{
    for (size_t i = 0; i < sizeof(s_tResultMap) / sizeof(s_tResultMap[0]); i++) {
        if (s_tResultMap[i].ucErrorCode == in_ucErrorCode) {
            *out_pucUmspResult = s_tResultMap[i].ucUmspResult;
            snprintf(out_sText, VXQ_DPS_RESULT_TEXT_SIZE, "%s", s_tResultMap[i].sText);
            return 1;
        }
    }
    /* The host's own codes 150..179 reach the client unchanged. */
    if (in_ucErrorCode >= 150 && in_ucErrorCode <= 179) {
        *out_pucUmspResult = in_ucErrorCode;
        snprintf(out_sText, VXQ_DPS_RESULT_TEXT_SIZE, "Custom error: %d", in_ucErrorCode);
        return 1;
    }
    *out_pucUmspResult = VXQ_DPS_UMSP_RESULT_OTHER;
    snprintf(out_sText, VXQ_DPS_RESULT_TEXT_SIZE, "Other: %d", in_ucErrorCode);
    return 1;
}

int VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(uint8_t *inout_pucResult, const char *in_sOperName)
{
    uint8_t ucErrorCode = *inout_pucResult;
    char sText[VXQ_DPS_RESULT_TEXT_SIZE];
    VXQ_F_DPS_MW_TransErrorCodeToUmspResult(ucErrorCode, inout_pucResult, sText);
    char sLine[VXQ_DPS_RESULT_TEXT_SIZE + 256];
    snprintf(sLine, sizeof(sLine), "App message: %s (response): [%d] %s.",
             in_sOperName != NULL ? in_sOperName : "", ucErrorCode, sText);
    VXQ_F_LOG_SR_ShowInfo(sLine);
    return 1;
}
