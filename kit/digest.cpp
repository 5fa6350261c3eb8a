/*
 * MD5 (RFC 1321) and Base64 (RFC 4648) of the runtime kit, and the wrappers the
 * login and the host application use. Everything here is stateless; the MD5
 * core works on explicit byte loads and stores, so the digest is the same on
 * little- and big-endian hosts.
 */
#include "vxq_digest.h"

#include <string.h>

/* ---- MD5 core ---------------------------------------------------------- */

static uint32_t PR_Rotl(uint32_t in_dwValue, int in_iBits)
{
    return (in_dwValue << in_iBits) | (in_dwValue >> (32 - in_iBits));
}

static uint32_t PR_LoadLe32(const uint8_t *in_pucBytes)
{
    return (uint32_t)in_pucBytes[0] | ((uint32_t)in_pucBytes[1] << 8) | ((uint32_t)in_pucBytes[2] << 16) |
           ((uint32_t)in_pucBytes[3] << 24);
}

static void PR_StoreLe32(uint8_t *out_pucBytes, uint32_t in_dwValue)
{
    out_pucBytes[0] = (uint8_t)in_dwValue;
    out_pucBytes[1] = (uint8_t)(in_dwValue >> 8);
    out_pucBytes[2] = (uint8_t)(in_dwValue >> 16);
    out_pucBytes[3] = (uint8_t)(in_dwValue >> 24);
}

/* Per-step shift amounts and sine-derived constants of the four rounds. */
static const int s_iShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

static const uint32_t s_dwSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

/* Mixes one 64-byte block into the state. */
static void PR_Transform(uint32_t inout_dwState[4], const uint8_t *in_pucBlock)
{
    uint32_t dwWords[16];
    for (int i = 0; i < 16; i++)
        dwWords[i] = PR_LoadLe32(in_pucBlock + 4 * i);

    uint32_t a = inout_dwState[0], b = inout_dwState[1], c = inout_dwState[2], d = inout_dwState[3];
    for (int i = 0; i < 64; i++) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        uint32_t dwNext = b + PR_Rotl(a + f + s_dwSine[i] + dwWords[g], s_iShift[i]);
        a = d;
        d = c;
        c = b;
        b = dwNext;
    }
    inout_dwState[0] += a;
    inout_dwState[1] += b;
    inout_dwState[2] += c;
    inout_dwState[3] += d;
}

void VXQ_F_DIGEST_MD5Init(_VXQ_S_DIGEST_MD5_CTX *out_ptCtx)
{
    memset(out_ptCtx, 0, sizeof(*out_ptCtx));
    out_ptCtx->dwState[0] = 0x67452301;
    out_ptCtx->dwState[1] = 0xefcdab89;
    out_ptCtx->dwState[2] = 0x98badcfe;
    out_ptCtx->dwState[3] = 0x10325476;
}

void VXQ_F_DIGEST_MD5Update(_VXQ_S_DIGEST_MD5_CTX *inout_ptCtx, const void *in_pData, uint32_t in_dwLen)
{
    const uint8_t *pucData = (const uint8_t *)in_pData;
    uint32_t dwUsed = inout_ptCtx->dwCountLo & 63;
    uint32_t dwOldLo = inout_ptCtx->dwCountLo;
    inout_ptCtx->dwCountLo += in_dwLen;
    if (inout_ptCtx->dwCountLo < dwOldLo)
        inout_ptCtx->dwCountHi++;

    if (dwUsed != 0) {
        uint32_t dwRoom = 64 - dwUsed;
        if (in_dwLen < dwRoom) {
            memcpy(inout_ptCtx->ucBuffer + dwUsed, pucData, in_dwLen);
            return;
        }
        memcpy(inout_ptCtx->ucBuffer + dwUsed, pucData, dwRoom);
        PR_Transform(inout_ptCtx->dwState, inout_ptCtx->ucBuffer);
        pucData += dwRoom;
        in_dwLen -= dwRoom;
    }
    while (in_dwLen >= 64) {
        PR_Transform(inout_ptCtx->dwState, pucData);
        pucData += 64;
        in_dwLen -= 64;
    }
    if (in_dwLen > 0)
        memcpy(inout_ptCtx->ucBuffer, pucData, in_dwLen);
}

void VXQ_F_DIGEST_MD5Final(_VXQ_S_DIGEST_MD5_CTX *inout_ptCtx, uint8_t out_pucDigest[16])
{
    /* Length in bits, taken before the padding changes the count. */
    uint8_t ucBits[8];
    PR_StoreLe32(ucBits, inout_ptCtx->dwCountLo << 3);
    PR_StoreLe32(ucBits + 4, (inout_ptCtx->dwCountHi << 3) | (inout_ptCtx->dwCountLo >> 29));

    static const uint8_t s_ucPad[64] = {0x80};
    uint32_t dwUsed = inout_ptCtx->dwCountLo & 63;
    uint32_t dwPadLen = (dwUsed < 56) ? (56 - dwUsed) : (120 - dwUsed);
    VXQ_F_DIGEST_MD5Update(inout_ptCtx, s_ucPad, dwPadLen);
    VXQ_F_DIGEST_MD5Update(inout_ptCtx, ucBits, 8);

    for (int i = 0; i < 4; i++)
        PR_StoreLe32(out_pucDigest + 4 * i, inout_ptCtx->dwState[i]);
    memset(inout_ptCtx, 0, sizeof(*inout_ptCtx));
}

int VXQ_F_DIGEST_ConstTimeEqual(const void *in_pA, const void *in_pB, uint32_t in_dwLen)
{
    const volatile uint8_t *pucA = (const volatile uint8_t *)in_pA;
    const volatile uint8_t *pucB = (const volatile uint8_t *)in_pB;
    uint8_t ucDiff = 0;
    for (uint32_t i = 0; i < in_dwLen; i++)
        ucDiff |= (uint8_t)(pucA[i] ^ pucB[i]);
    return ucDiff == 0 ? 1 : 0;
}

/* ---- Base64 ------------------------------------------------------------ */

static const char s_sBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/* Value 0..63 of an alphabet character, or -1 for any other byte. */
static int PR_Base64Value(unsigned char in_ucChar)
{
    if (in_ucChar >= 'A' && in_ucChar <= 'Z')
        return in_ucChar - 'A';
    if (in_ucChar >= 'a' && in_ucChar <= 'z')
        return in_ucChar - 'a' + 26;
    if (in_ucChar >= '0' && in_ucChar <= '9')
        return in_ucChar - '0' + 52;
    if (in_ucChar == '+')
        return 62;
    if (in_ucChar == '/')
        return 63;
    return -1;
}

/* Count of leading alphabet characters of the text. */
static int PR_Base64AlphabetRun(const char *in_sText)
{
    int k = 0;
    while (PR_Base64Value((unsigned char)in_sText[k]) >= 0)
        k++;
    return k;
}

int Base64encode_len(int in_iLen)
{
    if (in_iLen < 0)
        in_iLen = 0;
    return ((in_iLen + 2) / 3) * 4 + 1;
}

int Base64encode(char *out_sText, const char *in_pData, int in_iLen)
{
    const unsigned char *pucIn = (const unsigned char *)in_pData;
    char *pOut = out_sText;
    int i = 0;
    for (; i + 2 < in_iLen; i += 3) {
        uint32_t dwGroup = ((uint32_t)pucIn[i] << 16) | ((uint32_t)pucIn[i + 1] << 8) | pucIn[i + 2];
        *pOut++ = s_sBase64Alphabet[(dwGroup >> 18) & 63];
        *pOut++ = s_sBase64Alphabet[(dwGroup >> 12) & 63];
        *pOut++ = s_sBase64Alphabet[(dwGroup >> 6) & 63];
        *pOut++ = s_sBase64Alphabet[dwGroup & 63];
    }
    int iRest = (in_iLen > i) ? in_iLen - i : 0;
    if (iRest > 0) {
        uint32_t dwGroup = (uint32_t)pucIn[i] << 16;
        if (iRest == 2)
            dwGroup |= (uint32_t)pucIn[i + 1] << 8;
        *pOut++ = s_sBase64Alphabet[(dwGroup >> 18) & 63];
        *pOut++ = s_sBase64Alphabet[(dwGroup >> 12) & 63];
        *pOut++ = (iRest == 2) ? s_sBase64Alphabet[(dwGroup >> 6) & 63] : '=';
        *pOut++ = '=';
    }
    *pOut++ = '\0';
    return (int)(pOut - out_sText);
}

int Base64decode_len(const char *in_sText)
{
    int k = PR_Base64AlphabetRun(in_sText);
    return ((k + 3) / 4) * 3 + 1;
}

int Base64decode(char *out_pData, const char *in_sText)
{
    int k = PR_Base64AlphabetRun(in_sText);
    unsigned char *pucOut = (unsigned char *)out_pData;
    int iOut = 0;
    int i = 0;
    for (; i + 3 < k; i += 4) {
        uint32_t dwGroup = ((uint32_t)PR_Base64Value((unsigned char)in_sText[i]) << 18) |
                           ((uint32_t)PR_Base64Value((unsigned char)in_sText[i + 1]) << 12) |
                           ((uint32_t)PR_Base64Value((unsigned char)in_sText[i + 2]) << 6) |
                           (uint32_t)PR_Base64Value((unsigned char)in_sText[i + 3]);
        pucOut[iOut++] = (unsigned char)(dwGroup >> 16);
        pucOut[iOut++] = (unsigned char)(dwGroup >> 8);
        pucOut[iOut++] = (unsigned char)dwGroup;
    }
    /* A last group of 2 or 3 characters carries 1 or 2 bytes; a single
     * character carries fewer than 8 bits and yields nothing. */
    int iRest = k - i;
    if (iRest >= 2) {
        uint32_t dwGroup = ((uint32_t)PR_Base64Value((unsigned char)in_sText[i]) << 18) |
                           ((uint32_t)PR_Base64Value((unsigned char)in_sText[i + 1]) << 12);
        if (iRest == 3)
            dwGroup |= (uint32_t)PR_Base64Value((unsigned char)in_sText[i + 2]) << 6;
        pucOut[iOut++] = (unsigned char)(dwGroup >> 16);
        if (iRest == 3)
            pucOut[iOut++] = (unsigned char)(dwGroup >> 8);
    }
    pucOut[iOut] = 0;
    return iOut;
}

/* ---- Wrappers ---------------------------------------------------------- */

int MDString(const char *in_pData, unsigned int in_dwLen, unsigned char *out_pucDigest)
{
    _VXQ_S_DIGEST_MD5_CTX tCtx;
    VXQ_F_DIGEST_MD5Init(&tCtx);
    VXQ_F_DIGEST_MD5Update(&tCtx, in_pData, in_dwLen);
    VXQ_F_DIGEST_MD5Final(&tCtx, out_pucDigest);
    return 0;
}

char int2hex(int in_iValue)
{
    return "0123456789abcdef"[in_iValue & 15];
}

void CvtHex(const unsigned char *in_pucDigest, char *out_sHex)
{
    for (int i = 0; i < 16; i++) {
        out_sHex[2 * i] = int2hex(in_pucDigest[i] >> 4);
        out_sHex[2 * i + 1] = int2hex(in_pucDigest[i]);
    }
    out_sHex[32] = '\0';
}

int VXQ_TOOLS_MD5_EncodeString(char *out_sHex, const char *in_sText)
{
    unsigned char ucDigest[16];
    MDString(in_sText, (unsigned int)strlen(in_sText), ucDigest);
    static const char s_sHex[] = "0123456789abcdef";
    for (int i = 0; i < 16; i++) {
        out_sHex[2 * i] = s_sHex[ucDigest[i] >> 4];
        out_sHex[2 * i + 1] = s_sHex[ucDigest[i] & 15];
    }
    out_sHex[32] = '\0';
    return 1;
}

int md5_packages_string(char *out_sHex, const char *in_sText)
{
    unsigned char ucDigest[16];
    MDString(in_sText, (unsigned int)strlen(in_sText), ucDigest);
    CvtHex(ucDigest, out_sHex);
    return 1;
}

int VXQ_TOOLS_MD5_MD5Encrypt(char *out_sCode, const char *in_sText)
{
    unsigned char ucDigest[16];
    MDString(in_sText, (unsigned int)strlen(in_sText), ucDigest);
    for (int i = 0; i < 8; i++) {
        int c = ((int)ucDigest[2 * i] + (int)ucDigest[2 * i + 1]) % 62;
        if (c <= 9)
            out_sCode[i] = (char)('0' + c);
        else if (c <= 35)
            out_sCode[i] = (char)('A' + (c - 10));
        else
            out_sCode[i] = (char)('a' + (c - 36));
    }
    return 1;
}

/* The fixed challenge of MD5_enc: a constant of this service, chosen once and
 * never changed, since both ends of an exchange must agree on it. */
static const unsigned char s_ucMd5EncChallenge[16] = {
    0x56, 0x58, 0x51, 0x2d, 0x44, 0x50, 0x53, 0x2d,
    0x43, 0x48, 0x41, 0x4c, 0x2d, 0x30, 0x30, 0x31}; /* "VXQ-DPS-CHAL-001" */

int MD5_enc(unsigned char in_ucId, const unsigned char *in_pucSecret, unsigned char in_ucSecretLen,
            unsigned char *out_pucDigest)
{
    _VXQ_S_DIGEST_MD5_CTX tCtx;
    VXQ_F_DIGEST_MD5Init(&tCtx);
    VXQ_F_DIGEST_MD5Update(&tCtx, &in_ucId, 1);
    VXQ_F_DIGEST_MD5Update(&tCtx, in_pucSecret, in_ucSecretLen);
    VXQ_F_DIGEST_MD5Update(&tCtx, s_ucMd5EncChallenge, sizeof(s_ucMd5EncChallenge));
    VXQ_F_DIGEST_MD5Final(&tCtx, out_pucDigest);
    return 16;
}

int MD5_Tamberlo(const unsigned char *in_pucA, int in_iALen, const unsigned char *in_pucB, int in_iBLen,
                 const char *in_sNonce, char *inout_sOut)
{
    /* hex(a) ":" nonce ":" hex(b) in a zeroed work text; a nonce that would not
     * leave room for ":" and the second digest and the zero is cut, which never
     * changes the 98 characters hashed. */
    enum { WORK_SIZE = 256, HASHED = 98 };
    char sWork[WORK_SIZE];
    memset(sWork, 0, sizeof(sWork));
    unsigned char ucDigest[16];

    MDString((const char *)in_pucA, (unsigned int)(in_iALen > 0 ? in_iALen : 0), ucDigest);
    CvtHex(ucDigest, sWork);
    size_t nPos = 32;
    sWork[nPos++] = ':';
    size_t nNonce = strlen(in_sNonce);
    size_t nNonceRoom = WORK_SIZE - nPos - 1 - 32 - 1;
    if (nNonce > nNonceRoom)
        nNonce = nNonceRoom;
    memcpy(sWork + nPos, in_sNonce, nNonce);
    nPos += nNonce;
    sWork[nPos++] = ':';
    MDString((const char *)in_pucB, (unsigned int)(in_iBLen > 0 ? in_iBLen : 0), ucDigest);
    CvtHex(ucDigest, sWork + nPos);

    MDString(sWork, HASHED, ucDigest);
    CvtHex(ucDigest, inout_sOut + strlen(inout_sOut));
    return 32;
}
