/* test_client.cpp - the login helpers of the test client. */
#include "support/test_client.h"

int VXQ_F_TESTCLI_Login(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                        const std::string &in_sPassword, const std::string &in_sToken, uint8_t *out_pucResult,
                        uint32_t *out_pdwLoginId, Bytes *out_ptAnswer)
{
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_CLI_Login(inout_ptCli, in_sUser, in_sPassword, in_sToken, out_pucResult, &tInfo, out_ptAnswer))
        return 0;
    if (out_pdwLoginId)
        *out_pdwLoginId = tInfo.dwLoginId;
    return 1;
}

int VXQ_F_TESTCLI_TokenAndLogin(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                                const std::string &in_sPassword, uint32_t *out_pdwLoginId)
{
    std::string sToken;
    uint8_t ucResult = 0xFF;
    return VXQ_F_TESTCLI_GetToken(inout_ptCli, sToken, &ucResult) && ucResult == 0 &&
           VXQ_F_TESTCLI_Login(inout_ptCli, in_sUser, in_sPassword, sToken, &ucResult, out_pdwLoginId) &&
           ucResult == 0;
}
