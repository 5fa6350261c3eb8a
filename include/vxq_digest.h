/*
 * vxq_digest.h - MD5 digests and Base64 text encoding of the runtime kit.
 *
 * Owns no state: every function is pure and any thread may call it at any
 * time. The MD5 core is the message digest of RFC 1321 (16-byte digest); Base64
 * is RFC 4648 with the standard alphabet (A-Z, a-z, 0-9, '+', '/') and '='
 * padding. The login check of the session uses VXQ_TOOLS_MD5_EncodeString only;
 * the other wrappers serve the host application.
 *
 * Memory: the caller owns and sizes every output buffer (the sizes are given
 * per function); nothing here allocates. Texts are zero-terminated byte
 * strings; every hexadecimal output is lowercase.
 */
#ifndef VXQ_DIGEST_H
#define VXQ_DIGEST_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Running state of one MD5 computation; plain data, may live on the stack. */
typedef struct _VXQ_S_DIGEST_MD5_CTX {
    uint32_t dwState[4];  /* A, B, C, D */
    uint32_t dwCountLo;   /* message length in bytes, low 32 bits */
    uint32_t dwCountHi;   /* message length in bytes, high 32 bits */
    uint8_t ucBuffer[64]; /* bytes of the current, not yet full block */
} _VXQ_S_DIGEST_MD5_CTX;

/* Starts a digest: out_ptCtx holds the initial state afterwards. */
VXQ_API void VXQ_F_DIGEST_MD5Init(_VXQ_S_DIGEST_MD5_CTX *out_ptCtx);

/* Feeds in_dwLen bytes (in_pData may be null when in_dwLen is 0). */
VXQ_API void VXQ_F_DIGEST_MD5Update(_VXQ_S_DIGEST_MD5_CTX *inout_ptCtx, const void *in_pData,
                                    uint32_t in_dwLen);

/* Pads, writes the 16-byte digest to out_pucDigest and wipes the state. */
VXQ_API void VXQ_F_DIGEST_MD5Final(_VXQ_S_DIGEST_MD5_CTX *inout_ptCtx, uint8_t out_pucDigest[16]);

/* Compares in_dwLen bytes in a time that depends only on in_dwLen (never on
 * where the first difference is). Returns 1 when all bytes are equal, else 0. */
VXQ_API int VXQ_F_DIGEST_ConstTimeEqual(const void *in_pA, const void *in_pB, uint32_t in_dwLen);

/* Size of the encoding of in_iLen bytes, terminator included:
 * ((n + 2) / 3) * 4 + 1. */
VXQ_API int Base64encode_len(int in_iLen);

/* Writes the encoding of in_iLen bytes and a terminating zero to out_sText
 * (Base64encode_len(in_iLen) bytes). Returns the characters written plus 1. */
VXQ_API int Base64encode(char *out_sText, const char *in_pData, int in_iLen);

/* With k = the count of leading alphabet characters of in_sText:
 * ((k + 3) / 4) * 3 + 1, the buffer size Base64decode needs. */
VXQ_API int Base64decode_len(const char *in_sText);

/* Decodes the leading alphabet characters of in_sText ('=', the terminator and
 * any other character end it) into out_pData (Base64decode_len bytes), writes a
 * zero behind the bytes and returns the number of bytes decoded. */
VXQ_API int Base64decode(char *out_pData, const char *in_sText);

/* MD5 digest of in_dwLen bytes into out_pucDigest (16 raw bytes). Returns 0. */
VXQ_API int MDString(const char *in_pData, unsigned int in_dwLen, unsigned char *out_pucDigest);

/* Lowercase hexadecimal MD5 of the text (32 characters and a zero) into
 * out_sHex (33 bytes): the digest the login compares byte for byte. Returns 1. */
VXQ_API int VXQ_TOOLS_MD5_EncodeString(char *out_sHex, const char *in_sText);

/* The same output as VXQ_TOOLS_MD5_EncodeString, formed through CvtHex. Returns 1. */
VXQ_API int md5_packages_string(char *out_sHex, const char *in_sText);

/* Two lowercase hexadecimal characters per digest byte, high nibble first, and
 * a zero at position 32 of out_sHex (33 bytes). */
VXQ_API void CvtHex(const unsigned char *in_pucDigest, char *out_sHex);

/* The character "0123456789abcdef"[in_iValue & 15]. */
VXQ_API char int2hex(int in_iValue);

/* Short code of the text's MD5 digest d: 8 characters from 0-9, A-Z, a-z, the
 * i-th formed from (d[2i] + d[2i+1]) mod 62. Writes exactly 8 bytes to out_sCode
 * and no terminator. Returns 1. */
VXQ_API int VXQ_TOOLS_MD5_MD5Encrypt(char *out_sCode, const char *in_sText);

/* Challenge-response digest: MD5 of the byte in_ucId, then in_ucSecretLen bytes
 * of in_pucSecret, then the service's fixed 16-byte challenge, into
 * out_pucDigest (16 bytes). Returns 16. */
VXQ_API int MD5_enc(unsigned char in_ucId, const unsigned char *in_pucSecret, unsigned char in_ucSecretLen,
                    unsigned char *out_pucDigest);

/* Digest response: in a zeroed 256-byte work text forms hex(MD5(a)) ":" nonce
 * ":" hex(MD5(b)), takes the MD5 of its first 98 characters and appends its 32
 * lowercase hexadecimal characters to the text already in inout_sOut (pass an
 * empty text to get them alone; it must have room for 32 more and a zero).
 * A nonce longer than the work text allows is cut there. Returns 32. */
VXQ_API int MD5_Tamberlo(const unsigned char *in_pucA, int in_iALen, const unsigned char *in_pucB,
                         int in_iBLen, const char *in_sNonce, char *inout_sOut);

VXQ_EXTERN_C_END

#endif /* VXQ_DIGEST_H */
