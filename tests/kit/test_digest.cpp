#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "vxq_digest.h"

namespace
{

std::string HexOf(const unsigned char *in_pucBytes, size_t in_nLen)
{
    static const char s_sHex[] = "0123456789abcdef";
    std::string sOut;
    for (size_t i = 0; i < in_nLen; i++) {
        sOut += s_sHex[in_pucBytes[i] >> 4];
        sOut += s_sHex[in_pucBytes[i] & 15];
    }
    return sOut;
}

std::string Md5Hex(const std::string &in_sData)
{
    unsigned char ucDigest[16];
    EXPECT_EQ(MDString(in_sData.data(), (unsigned int)in_sData.size(), ucDigest), 0);
    return HexOf(ucDigest, 16);
}

} // namespace

TEST(Digest, Md5MatchesTheRfc1321TestSuite)
{
    struct {
        const char *sIn;
        const char *sHex;
    } tCases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
         "7890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &tCase : tCases) {
        EXPECT_EQ(Md5Hex(tCase.sIn), tCase.sHex) << tCase.sIn;
        char sHex[33];
        memset(sHex, 'x', sizeof(sHex));
        EXPECT_EQ(VXQ_TOOLS_MD5_EncodeString(sHex, tCase.sIn), 1);
        EXPECT_STREQ(sHex, tCase.sHex);
        memset(sHex, 'x', sizeof(sHex));
        EXPECT_EQ(md5_packages_string(sHex, tCase.sIn), 1);
        EXPECT_STREQ(sHex, tCase.sHex);
    }
}

TEST(Digest, Md5PaddingBoundariesAroundOneAndTwoBlocks)
{
    /* 55 bytes leave room for the length in the same block, 56 do not; 64 is a
     * full block; 127..129 cross the second block. */
    struct {
        size_t nLen;
        const char *sHex;
    } tCases[] = {
        {0, "d41d8cd98f00b204e9800998ecf8427e"},   {1, "0cc175b9c0f1b6a831c399e269772661"},
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"},  {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},  {127, "020406e1d05cdc2aa287641f7ae2cc39"},
        {128, "e510683b3f5ffe4093d021808bc6ff70"}, {129, "b325dc1c6f5e7a2b7cf465b9feab7948"},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(Md5Hex(std::string(tCase.nLen, 'a')), tCase.sHex) << tCase.nLen;
}

TEST(Digest, Md5FedInPiecesEqualsMd5InOneCall)
{
    std::vector<unsigned char> ucData(300);
    for (size_t i = 0; i < ucData.size(); i++)
        ucData[i] = (unsigned char)(i * 7 + 3);
    for (uint32_t dwLen : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 200u, 300u}) {
        unsigned char ucWhole[16];
        MDString((const char *)ucData.data(), dwLen, ucWhole);
        for (uint32_t dwStep : {1u, 3u, 63u, 64u, 65u}) {
            _VXQ_S_DIGEST_MD5_CTX tCtx;
            VXQ_F_DIGEST_MD5Init(&tCtx);
            for (uint32_t dwPos = 0; dwPos < dwLen; dwPos += dwStep) {
                uint32_t dwPart = (dwLen - dwPos < dwStep) ? dwLen - dwPos : dwStep;
                VXQ_F_DIGEST_MD5Update(&tCtx, ucData.data() + dwPos, dwPart);
            }
            unsigned char ucPieces[16];
            VXQ_F_DIGEST_MD5Final(&tCtx, ucPieces);
            EXPECT_EQ(memcmp(ucWhole, ucPieces, 16), 0) << dwLen << " by " << dwStep;
        }
    }
}

TEST(Digest, LoginDigestIsLowercaseHexSoUppercaseNeverMatches)
{
    char sHex[33];
    VXQ_TOOLS_MD5_EncodeString(sHex, "12345:admin");
    EXPECT_STREQ(sHex, "659359d13dc5002a27071a41dcc0e4a4");
    const char *sUpper = "659359D13DC5002A27071A41DCC0E4A4";
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, "659359d13dc5002a27071a41dcc0e4a4", 32), 1);
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, sUpper, 32), 0);
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, sUpper, 0), 1);
}

TEST(Digest, CvtHexAndInt2HexWriteLowercaseHighNibbleFirst)
{
    unsigned char ucDigest[16];
    for (int i = 0; i < 16; i++)
        ucDigest[i] = (unsigned char)(i * 17); /* 00 11 22 ... ff */
    char sHex[34];
    memset(sHex, 'x', sizeof(sHex));
    CvtHex(ucDigest, sHex);
    EXPECT_STREQ(sHex, "00112233445566778899aabbccddeeff");
    EXPECT_EQ(sHex[33], 'x');
    ucDigest[0] = 0x1f;
    CvtHex(ucDigest, sHex);
    EXPECT_EQ(std::string(sHex, 2), "1f");
    EXPECT_EQ(int2hex(0), '0');
    EXPECT_EQ(int2hex(10), 'a');
    EXPECT_EQ(int2hex(0x7f), 'f');
    EXPECT_EQ(int2hex(-1), 'f');
}

TEST(Digest, Md5EncryptWritesEightAlphanumericsAndNoTerminator)
{
    for (const char *sText : {"", "password", "admin", "a much longer text to digest 0123456789"}) {
        char sCode[9];
        memset(sCode, '#', sizeof(sCode));
        EXPECT_EQ(VXQ_TOOLS_MD5_MD5Encrypt(sCode, sText), 1);
        EXPECT_EQ(sCode[8], '#') << sText;
        unsigned char ucDigest[16];
        MDString(sText, (unsigned int)strlen(sText), ucDigest);
        for (int i = 0; i < 8; i++) {
            int c = (ucDigest[2 * i] + ucDigest[2 * i + 1]) % 62;
            char cWant = c <= 9 ? (char)('0' + c) : c <= 35 ? (char)('A' + c - 10) : (char)('a' + c - 36);
            EXPECT_EQ(sCode[i], cWant) << sText << " at " << i;
        }
    }
    /* MD5("password") = 5f4dcc3b...: (0x5f + 0x4d) % 62 = 48 -> 'm'. */
    char sCode[8];
    VXQ_TOOLS_MD5_MD5Encrypt(sCode, "password");
    EXPECT_EQ(sCode[0], 'm');
}

TEST(Digest, Md5EncHashesIdThenSecretThenTheFixedChallenge)
{
    const unsigned char ucSecret[] = {'s', 'e', 'c', 'r', 'e', 't'};
    unsigned char ucOut[16];
    EXPECT_EQ(MD5_enc(7, ucSecret, sizeof(ucSecret), ucOut), 16);
    std::string sInput;
    sInput += (char)7;
    sInput.append((const char *)ucSecret, sizeof(ucSecret));
    sInput += "VXQ-DPS-CHAL-001";
    EXPECT_EQ(HexOf(ucOut, 16), Md5Hex(sInput));
    /* Same inputs, same digest; another id, another digest. */
    unsigned char ucAgain[16];
    MD5_enc(7, ucSecret, sizeof(ucSecret), ucAgain);
    EXPECT_EQ(memcmp(ucOut, ucAgain, 16), 0);
    MD5_enc(8, ucSecret, sizeof(ucSecret), ucAgain);
    EXPECT_NE(memcmp(ucOut, ucAgain, 16), 0);
}

TEST(Digest, TamberloHashesExactly98CharactersAndAppends)
{
    const unsigned char ucA[] = "user:realm:pass";
    const unsigned char ucB[] = "GET:/dir/index.html";
    std::string sHa = Md5Hex(std::string((const char *)ucA, 15));
    std::string sHb = Md5Hex(std::string((const char *)ucB, 19));
    struct {
        std::string sNonce;
        std::string sHashed; /* the 98 bytes that must be digested */
    } tCases[] = {
        /* 32 characters: the standard response hex(a):nonce:hex(b). */
        {"dcd98b7102dd2f0e8b11d0f600bfb0c0", sHa + ":dcd98b7102dd2f0e8b11d0f600bfb0c0:" + sHb},
        /* Shorter: the zeros of the work text are part of the 98 bytes. */
        {"abc", (sHa + ":abc:" + sHb + std::string(98, '\0')).substr(0, 98)},
        /* Longer: the second digest is cut short. */
        {std::string(40, 'n'), (sHa + ":" + std::string(40, 'n') + ":" + sHb).substr(0, 98)},
        /* Far longer than the work text: cut, never written past it. */
        {std::string(1000, 'z'), (sHa + ":" + std::string(1000, 'z')).substr(0, 98)},
    };
    for (const auto &tCase : tCases) {
        ASSERT_EQ(tCase.sHashed.size(), 98u);
        char sOut[64];
        memset(sOut, '#', sizeof(sOut));
        sOut[0] = '\0';
        EXPECT_EQ(MD5_Tamberlo(ucA, 15, ucB, 19, tCase.sNonce.c_str(), sOut), 32);
        EXPECT_EQ(std::string(sOut), Md5Hex(tCase.sHashed)) << tCase.sNonce.size();
        /* Appends to the text already there. */
        char sPrefixed[64] = "R=";
        MD5_Tamberlo(ucA, 15, ucB, 19, tCase.sNonce.c_str(), sPrefixed);
        EXPECT_EQ(std::string(sPrefixed), "R=" + Md5Hex(tCase.sHashed));
    }
}

TEST(Digest, Base64EncodeMatchesRfc4648VectorsWithTheirCounts)
{
    struct {
        const char *sIn;
        const char *sOut;
    } tCases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto &tCase : tCases) {
        int iLen = (int)strlen(tCase.sIn);
        int iSize = Base64encode_len(iLen);
        EXPECT_EQ(iSize, (int)strlen(tCase.sOut) + 1);
        /* Writes exactly the announced size: the canary behind it survives. */
        std::vector<char> cBuf(iSize + 4, '#');
        EXPECT_EQ(Base64encode(cBuf.data(), tCase.sIn, iLen), iSize) << tCase.sIn;
        EXPECT_STREQ(cBuf.data(), tCase.sOut);
        for (int i = iSize; i < iSize + 4; i++)
            EXPECT_EQ(cBuf[i], '#');
    }
    EXPECT_EQ(Base64encode_len(0), 1);
    EXPECT_EQ(Base64encode_len(1), 5);
    EXPECT_EQ(Base64encode_len(3), 5);
    EXPECT_EQ(Base64encode_len(4), 9);
    EXPECT_EQ(Base64encode_len(-3), 1);
}

TEST(Digest, Base64EncodeOfAllByteValuesRoundTrips)
{
    char ucData[256];
    for (int i = 0; i < 256; i++)
        ucData[i] = (char)i;
    for (int iLen : {0, 1, 2, 3, 254, 255, 256}) {
        std::vector<char> sText(Base64encode_len(iLen));
        Base64encode(sText.data(), ucData, iLen);
        std::vector<char> cBack(Base64decode_len(sText.data()));
        EXPECT_EQ(Base64decode(cBack.data(), sText.data()), iLen);
        EXPECT_EQ(memcmp(cBack.data(), ucData, iLen), 0) << iLen;
    }
    char sText[8];
    const char ucHigh[] = {(char)0xfb, (char)0xff};
    Base64encode(sText, ucHigh, 2);
    EXPECT_STREQ(sText, "+/8=");
}

TEST(Digest, Base64DecodeStopsAtTheFirstNonAlphabetCharacter)
{
    struct {
        const char *sIn;
        int iLenResult; /* Base64decode_len */
        int iDecoded;   /* Base64decode */
        const char *sBytes;
    } tCases[] = {
        {"", 1, 0, ""},
        {"Zm9v", 4, 3, "foo"},
        {"Zm8=", 4, 2, "fo"}, /* one '=' */
        {"Zg==", 4, 1, "f"},  /* two '=' */
        {"Zm9vYmFy", 7, 6, "foobar"},
        {"Zm8", 4, 2, "fo"}, /* unpadded tail */
        {"Zg", 4, 1, "f"},
        {"Z", 4, 0, ""},             /* one character carries no whole byte */
        {"Zm9v Zm9v", 4, 3, "foo"},  /* a space ends it */
        {"Zm9v\nZm9v", 4, 3, "foo"}, /* so does a line break */
        {"Zm*v", 4, 1, "f"},         /* an invalid character in a group */
        {"-_-_", 1, 0, ""},          /* the URL-safe alphabet is not ours */
        {"Zm8=Zm9v", 4, 2, "fo"},    /* nothing after '=' is read */
    };
    for (const auto &tCase : tCases) {
        EXPECT_EQ(Base64decode_len(tCase.sIn), tCase.iLenResult) << tCase.sIn;
        std::vector<char> cBuf(tCase.iLenResult + 4, '#');
        int iGot = Base64decode(cBuf.data(), tCase.sIn);
        EXPECT_EQ(iGot, tCase.iDecoded) << tCase.sIn;
        EXPECT_EQ(std::string(cBuf.data(), iGot), tCase.sBytes) << tCase.sIn;
        EXPECT_EQ(cBuf[iGot], '\0');
        /* Never writes past the size Base64decode_len announced. */
        EXPECT_LE(iGot + 1, tCase.iLenResult);
        for (int i = tCase.iLenResult; i < tCase.iLenResult + 4; i++)
            EXPECT_EQ(cBuf[i], '#') << tCase.sIn;
    }
}
