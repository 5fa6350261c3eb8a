/* Base64 decode and the helpers that parse text: times, times of day, dotted
 * addresses, MAC addresses, hexadecimal words. The input is one text (cut at
 * its first zero byte). Decoding what Base64 encoding made must give the data back. */
#include "vxq_digest.h"
#include "vxq_syshelp.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    std::string sText((const char *)in_pData, strnlen((const char *)in_pData, in_iSize));

    std::vector<char> tDecoded((size_t)Base64decode_len(sText.c_str()) + 1);
    Base64decode(tDecoded.data(), sText.c_str());

    if (in_iSize < 4096) {
        std::vector<char> tEncoded((size_t)Base64encode_len((int)in_iSize) + 1);
        int iEncoded = Base64encode(tEncoded.data(), (const char *)in_pData, (int)in_iSize);
        if (iEncoded > 0) {
            std::vector<char> tBack((size_t)Base64decode_len(tEncoded.data()) + 1);
            int iBack = Base64decode(tBack.data(), tEncoded.data());
            if (iBack != (int)in_iSize || memcmp(tBack.data(), in_pData, in_iSize) != 0)
                abort();
        }
    }

    VXQ_F_SYS_Str_To_Time(sText.c_str());
    _VXQ_S_TD_DATE_TIME tTd;
    memset(&tTd, 0, sizeof(tTd));
    if (VXQ_F_SYS_StrTime_To_TdTime(sText.c_str(), &tTd)) {
        char sOut[64];
        VXQ_F_SYS_TdTime_To_Timet(&tTd);
        VXQ_F_SYS_TdTime_To_TimeStr(&tTd, sOut);
    }
    _VXQ_S_TD_TIME tTime;
    memset(&tTime, 0, sizeof(tTime));
    if (VXQ_F_SYS_Str_To_TdTimeOfDay(sText.c_str(), &tTime)) {
        char sOut[64];
        VXQ_F_SYS_TimeOfDay_To_Str(&tTime, sOut);
    }
    VXQ_F_SYS_IpaddrStrToHostIpaddr(sText.c_str());
    uint8_t ucMac[6];
    VXQ_F_SYS_GetBitMacAddr(sText.c_str(), ucMac);
    VXQ_F_SYS_CheckMacStrAddr(sText.c_str());
    VXQ_F_SYS_HexStrToDWORD(sText.c_str());
    return 0;
}
