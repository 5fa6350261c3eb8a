/* Checksum, address and hexadecimal text, the bit reader, the 5-bit encoder,
 * byte and line search, and the process's random generator; see vxq_syshelp.h. */
#include "vxq_syshelp.h"

#include <ctype.h>
#include <errno.h>
#include <mutex>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

/* Characters a 5-bit encoder's alphabet must have (one per 5-bit value). */
static const size_t SYS_BIT_ALPHABET_LEN = 32;

/* ---- checksum ---- */

extern "C" uint16_t VXQ_F_SYS_CheckSum(const void *in_pData, int32_t in_iLength)
{
    const uint8_t *p = (const uint8_t *)in_pData;
    uint64_t qwSum = 0;
    int32_t i = 0;
    if (p && in_iLength > 0) {
        /* Bytes are paired explicitly (first = low) so every host gives the same sum. */
        for (; i + 1 < in_iLength; i += 2)
            qwSum += (uint32_t)p[i] | ((uint32_t)p[i + 1] << 8);
        if (i < in_iLength)
            qwSum += p[i];
    }
    while (qwSum >> 16)
        qwSum = (qwSum & 0xFFFFu) + (qwSum >> 16);
    return (uint16_t)(~qwSum & 0xFFFFu);
}

/* ---- addresses ---- */

extern "C" int VXQ_F_SYS_GetIpaddrStrByHost(uint32_t in_dwIpaddr, char *out_sText)
{
    if (!out_sText)
        return 0;
    snprintf(out_sText, VXQ_SYS_IPADDR_STR_SIZE, "%d.%d.%d.%d", (int)((in_dwIpaddr >> 24) & 0xFFu),
             (int)((in_dwIpaddr >> 16) & 0xFFu), (int)((in_dwIpaddr >> 8) & 0xFFu),
             (int)(in_dwIpaddr & 0xFFu));
    return 1;
}

extern "C" uint32_t VXQ_F_SYS_IpaddrStrToHostIpaddr(const char *in_sText)
{
    if (!in_sText)
        return 0;
    const char *p = in_sText;
    uint32_t dwAddr = 0;
    for (int iPart = 0; iPart < 4; iPart++) {
        if (iPart > 0) {
            if (*p != '.')
                return 0;
            p++;
        }
        if (*p < '0' || *p > '9')
            return 0;
        uint32_t dwPart = 0;
        int iDigits = 0;
        for (; *p >= '0' && *p <= '9'; p++) {
            dwPart = dwPart * 10u + (uint32_t)(*p - '0');
            if (++iDigits > 3 || dwPart > 255u)
                return 0;
        }
        dwAddr = (dwAddr << 8) | dwPart;
    }
    return *p == '\0' ? dwAddr : 0;
}

extern "C" int VXQ_F_SYS_GetStringMacAddr(const uint8_t *in_pMac, char *out_sText)
{
    if (!in_pMac || !out_sText)
        return 0;
    snprintf(out_sText, VXQ_SYS_MAC_STR_SIZE, "%2.2X-%2.2X-%2.2X-%2.2X-%2.2X-%2.2X", (unsigned)in_pMac[0],
             (unsigned)in_pMac[1], (unsigned)in_pMac[2], (unsigned)in_pMac[3], (unsigned)in_pMac[4],
             (unsigned)in_pMac[5]);
    return 1;
}

static int VXQ_F_SYS_PR_HexValue(char in_c)
{
    if (in_c >= '0' && in_c <= '9')
        return in_c - '0';
    if (in_c >= 'a' && in_c <= 'f')
        return in_c - 'a' + 10;
    if (in_c >= 'A' && in_c <= 'F')
        return in_c - 'A' + 10;
    return -1;
}

extern "C" int VXQ_F_SYS_GetBitMacAddr(const char *in_sText, uint8_t *out_pMac)
{
    if (!in_sText || !out_pMac || strnlen(in_sText, 17) < 17)
        return 0;
    uint8_t ucMac[6];
    for (int i = 0; i < 6; i++) {
        int iHigh = VXQ_F_SYS_PR_HexValue(in_sText[i * 3]);
        int iLow = VXQ_F_SYS_PR_HexValue(in_sText[i * 3 + 1]);
        if (iHigh < 0 || iLow < 0)
            return 0;
        ucMac[i] = (uint8_t)(iHigh * 16 + iLow);
    }
    memcpy(out_pMac, ucMac, sizeof(ucMac));
    return 1;
}

extern "C" int VXQ_F_SYS_CheckMacStrAddr(const char *in_sText)
{
    if (!in_sText || strlen(in_sText) != 17)
        return 0;
    for (int i = 0; i < 17; i++) {
        if (i % 3 == 2) {
            if (in_sText[i] != '-')
                return 0;
        } else if (VXQ_F_SYS_PR_HexValue(in_sText[i]) < 0) {
            return 0;
        }
    }
    return 1;
}

/* ---- hexadecimal text ---- */

extern "C" int VXQ_F_SYS_BitDataToHexStr(const uint8_t *in_pData, int32_t in_iLength, char **out_psText)
{
    if (!out_psText)
        return 0;
    *out_psText = NULL;
    if (in_iLength < 0 || (in_iLength > 0 && !in_pData))
        return 0;
    char *sText = (char *)malloc((size_t)in_iLength * 3u + 1u);
    if (!sText)
        return 0;
    static const char s_cDigits[] = "0123456789ABCDEF";
    for (int32_t i = 0; i < in_iLength; i++) {
        sText[i * 3] = s_cDigits[in_pData[i] >> 4];
        sText[i * 3 + 1] = s_cDigits[in_pData[i] & 0x0F];
        sText[i * 3 + 2] = ' ';
    }
    sText[(size_t)in_iLength * 3u] = '\0';
    *out_psText = sText;
    return 1;
}

extern "C" uint32_t VXQ_F_SYS_HexStrToDWORD(const char *in_sText)
{
    unsigned int uValue = 0;
    if (!in_sText || sscanf(in_sText, "%x", &uValue) != 1)
        return 0;
    return (uint32_t)uValue;
}

/* ---- bit reading ---- */

extern "C" uint32_t VXQ_F_SYS_MG_get_one_bit(const uint8_t **inout_pp, int32_t *inout_piBit,
                                             int32_t *inout_piLeft)
{
    if (!inout_pp || !*inout_pp || !inout_piBit || !inout_piLeft || *inout_piLeft <= 0 || *inout_piBit < 0 ||
        *inout_piBit > 7)
        return 0;
    uint32_t dwBit = ((uint32_t) * *inout_pp >> (7 - *inout_piBit)) & 1u;
    if (++*inout_piBit == 8) {
        *inout_piBit = 0;
        (*inout_pp)++;
        (*inout_piLeft)--;
    }
    return dwBit;
}

extern "C" uint32_t VXQ_F_SYS_MG_read_bits(const uint8_t **inout_pp, int32_t *inout_piBit,
                                           int32_t *inout_piLeft, int32_t in_iBits)
{
    uint32_t dwValue = 0;
    if (in_iBits > 32)
        in_iBits = 32;
    for (int32_t i = 0; i < in_iBits; i++)
        dwValue = (dwValue << 1) | VXQ_F_SYS_MG_get_one_bit(inout_pp, inout_piBit, inout_piLeft);
    return dwValue;
}

/* Bits still readable from the state. */
static int64_t VXQ_F_SYS_PR_BitsLeft(const int32_t *in_piBit, const int32_t *in_piLeft)
{
    if (*in_piLeft <= 0)
        return 0;
    return (int64_t)*in_piLeft * 8 - *in_piBit;
}

extern "C" uint32_t VXQ_F_SYS_MG_get_ue(const uint8_t **inout_pp, int32_t *inout_piBit, int32_t *inout_piLeft)
{
    if (!inout_pp || !*inout_pp || !inout_piBit || !inout_piLeft)
        return 0xFFFFFFFFu;
    int32_t iZeros = 0;
    for (;;) {
        if (VXQ_F_SYS_PR_BitsLeft(inout_piBit, inout_piLeft) <= 0)
            return 0xFFFFFFFFu;
        if (VXQ_F_SYS_MG_get_one_bit(inout_pp, inout_piBit, inout_piLeft))
            break;
        if (++iZeros > 31)
            return 0xFFFFFFFFu;
    }
    if (VXQ_F_SYS_PR_BitsLeft(inout_piBit, inout_piLeft) < iZeros)
        return 0xFFFFFFFFu;
    return ((1u << iZeros) - 1u) + VXQ_F_SYS_MG_read_bits(inout_pp, inout_piBit, inout_piLeft, iZeros);
}

/* ---- random numbers ---- */

/* splitmix64: a full-period generator whose outputs pass the usual statistical
 * tests; good for ids and tokens that must not repeat or be guessed from rand(). */
static std::mutex s_tRandomLock;
static uint64_t s_qwRandomState = 0;
static int s_bRandomSeeded = 0;

static void VXQ_F_SYS_PR_SeedRandom(void)
{
    uint64_t qwSeed = 0;
    if (getrandom(&qwSeed, sizeof(qwSeed), 0) != (ssize_t)sizeof(qwSeed)) {
        /* No kernel entropy: mix the clocks and an address, still never rand(). */
        struct timespec tReal, tMono;
        clock_gettime(CLOCK_REALTIME, &tReal);
        clock_gettime(CLOCK_MONOTONIC, &tMono);
        qwSeed = ((uint64_t)tReal.tv_sec << 32) ^ (uint64_t)tReal.tv_nsec ^ ((uint64_t)tMono.tv_nsec << 20) ^
                 (uint64_t)(uintptr_t)&s_qwRandomState;
    }
    s_qwRandomState = qwSeed;
    s_bRandomSeeded = 1;
}

extern "C" uint32_t VXQ_F_SYS_GetRandom32(void)
{
    std::lock_guard<std::mutex> tGuard(s_tRandomLock);
    if (!s_bRandomSeeded)
        VXQ_F_SYS_PR_SeedRandom();
    uint64_t z = (s_qwRandomState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (uint32_t)(z >> 32);
}

/* The kernel's generator, never blocking: getrandom(); where the kernel lacks
 * it (before 3.17) or its pool is not yet initialised at early boot,
 * /dev/urandom, which never blocks. No state of our own, so nothing in the
 * process's memory or its other outputs tells the next value. */
extern "C" int VXQ_F_SYS_GetSecureRandom(void *out_pBuf, int32_t in_iLen)
{
    uint8_t *p = (uint8_t *)out_pBuf;
    int32_t iDone = 0;
    if (p == NULL || in_iLen < 0)
        return 0;
    while (iDone < in_iLen) {
        ssize_t iGot = getrandom(p + iDone, (size_t)(in_iLen - iDone), GRND_NONBLOCK);
        if (iGot > 0) {
            iDone += (int32_t)iGot;
            continue;
        }
        if (iGot < 0 && errno == EINTR)
            continue;
        break;
    }
    if (iDone == in_iLen)
        return 1;
    int iFd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (iFd < 0)
        return 0;
    while (iDone < in_iLen) {
        ssize_t iGot = read(iFd, p + iDone, (size_t)(in_iLen - iDone));
        if (iGot > 0)
            iDone += (int32_t)iGot;
        else if (!(iGot < 0 && errno == EINTR))
            break;
    }
    close(iFd);
    return iDone == in_iLen ? 1 : 0;
}

extern "C" int32_t VXQ_F_SYS_GetRandomNumber(void)
{
    return (int32_t)(VXQ_F_SYS_GetRandom32() >> 1);
}

/* ---- 5-bit symbols ---- */

extern "C" int VXQ_F_SYS_BIT_Encode(const uint8_t *in_pData, int32_t in_iLength, const char *in_sAlphabet,
                                    char *out_sText)
{
    if (!in_sAlphabet || !out_sText || in_iLength < 0 || (in_iLength > 0 && !in_pData) ||
        strnlen(in_sAlphabet, SYS_BIT_ALPHABET_LEN) < SYS_BIT_ALPHABET_LEN)
        return 0;
    int64_t llBits = (int64_t)in_iLength * 8;
    int64_t llChars = (llBits + 4) / 5;
    for (int64_t k = 0; k < llChars; k++) {
        uint32_t dwIndex = 0;
        for (int64_t b = k * 5; b < k * 5 + 5; b++) {
            uint32_t dwBit = 0;
            if (b < llBits)
                dwBit = (in_pData[b / 8] >> (7 - (b % 8))) & 1u;
            dwIndex = (dwIndex << 1) | dwBit;
        }
        out_sText[k] = in_sAlphabet[dwIndex];
    }
    out_sText[llChars] = '\0';
    return 1;
}

extern "C" int VXQ_F_SYS_BIT_Decode(const char *in_sText, const char *in_sAlphabet, uint8_t *out_pData,
                                    int32_t *inout_piLength)
{
    if (!in_sText || !in_sAlphabet || !inout_piLength || !in_sText[0] ||
        strlen(in_sAlphabet) != SYS_BIT_ALPHABET_LEN)
        return 0;
    size_t nChars = strlen(in_sText);
    for (size_t i = 0; i < nChars; i++) {
        if (!memchr(in_sAlphabet, in_sText[i], SYS_BIT_ALPHABET_LEN))
            return 0;
    }
    uint64_t qwBytes = (uint64_t)nChars * 5u / 8u;
    if (qwBytes > INT32_MAX)
        return 0;
    if (out_pData) {
        if (*inout_piLength < 0 || (uint64_t)*inout_piLength < qwBytes)
            return 0;
        uint32_t dwAcc = 0;
        int iAccBits = 0;
        uint64_t qwOut = 0;
        for (size_t i = 0; i < nChars && qwOut < qwBytes; i++) {
            const char *pHit = (const char *)memchr(in_sAlphabet, in_sText[i], SYS_BIT_ALPHABET_LEN);
            dwAcc = (dwAcc << 5) | (uint32_t)(pHit - in_sAlphabet);
            iAccBits += 5;
            if (iAccBits >= 8) {
                iAccBits -= 8;
                out_pData[qwOut++] = (uint8_t)(dwAcc >> iAccBits);
                dwAcc &= (1u << iAccBits) - 1u;
            }
        }
    }
    *inout_piLength = (int32_t)qwBytes;
    return 1;
}

/* ---- search ---- */

extern "C" int VXQ_F_SYS_QueryStr(const char *in_pBuf, int32_t in_iLength, const char *in_sPattern,
                                  const char **out_ppFound, int32_t *out_piRest)
{
    if (!in_pBuf || !in_sPattern || !out_ppFound || !out_piRest || in_iLength <= 0)
        return 0;
    size_t nPattern = strlen(in_sPattern);
    if (nPattern == 0 || nPattern > (size_t)in_iLength)
        return 0;
    for (size_t nOff = 0; nOff + nPattern <= (size_t)in_iLength; nOff++) {
        if (memcmp(in_pBuf + nOff, in_sPattern, nPattern) == 0) {
            *out_ppFound = in_pBuf + nOff;
            *out_piRest = in_iLength - (int32_t)nOff;
            return 1;
        }
    }
    return 0;
}

extern "C" int VXQ_F_SYS_GetLineData(const char *in_pBuf, int32_t in_iLength, int32_t *out_piLineLen,
                                     const char **out_ppNext, int32_t *out_piRest)
{
    if (!in_pBuf || !out_piLineLen || !out_ppNext || !out_piRest)
        return 0;
    for (int32_t i = 0; i + 1 < in_iLength; i++) {
        if (in_pBuf[i] == '\r' && in_pBuf[i + 1] == '\n') {
            *out_piLineLen = i + 2;
            *out_ppNext = in_pBuf + i + 2;
            *out_piRest = in_iLength - (i + 2);
            return 1;
        }
    }
    return 0;
}
