#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "vxq_digest.h"

namespace
{
std::string HexOf(const unsigned char *in_pucBytes, size_t in_nLen)
{
    std::string sOut;
    for (size_t i = 0; i < in_nLen; i++) {
        sOut += "0123456789abcdef"[in_pucBytes[i] >> 4];
        sOut += "0123456789abcdef"[in_pucBytes[i] & 15];
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

TEST(Digest, Md5KnownAnswersAtTheBlockEdgesThroughEveryEntryAndInPieces)
{
    /* From the test suite of RFC 1321, then runs of 'a': 55 bytes leave room for the
     * length in the same block, 56 do not; 64 is a full block; 127..129 cross
     * the second. */
    const struct {
        std::string sIn;
        const char *sHex;
    } tCases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(127, 'a'), "020406e1d05cdc2aa287641f7ae2cc39"},
        {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70"},
        {std::string(129, 'a'), "b325dc1c6f5e7a2b7cf465b9feab7948"},
    };
    for (const auto &tCase : tCases) {
        SCOPED_TRACE(tCase.sIn.size());
        EXPECT_EQ(Md5Hex(tCase.sIn), tCase.sHex);
        char sHex[34];
        memset(sHex, 'x', sizeof(sHex));
        EXPECT_EQ(VXQ_TOOLS_MD5_EncodeString(sHex, tCase.sIn.c_str()), 1);
        EXPECT_STREQ(sHex, tCase.sHex);
        memset(sHex, 'x', sizeof(sHex));
        EXPECT_EQ(md5_packages_string(sHex, tCase.sIn.c_str()), 1);
        EXPECT_STREQ(sHex, tCase.sHex);
        EXPECT_EQ(sHex[33], 'x');
        for (uint32_t dwStep : {1u, 3u, 63u, 64u, 65u}) {
            _VXQ_S_DIGEST_MD5_CTX tCtx;
            VXQ_F_DIGEST_MD5Init(&tCtx);
            for (size_t nPos = 0; nPos < tCase.sIn.size(); nPos += dwStep)
                VXQ_F_DIGEST_MD5Update(&tCtx, tCase.sIn.data() + nPos,
                                       (uint32_t)std::min<size_t>(dwStep, tCase.sIn.size() - nPos));
            unsigned char ucPieces[16];
            VXQ_F_DIGEST_MD5Final(&tCtx, ucPieces);
            EXPECT_EQ(HexOf(ucPieces, 16), tCase.sHex) << "by " << dwStep;
        }
    }
}

TEST(Digest, LoginDigestIsLowercaseHexSoUppercaseNeverMatches)
{
    char sHex[33];
    VXQ_TOOLS_MD5_EncodeString(sHex, "12345:admin");
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, "659359d13dc5002a27071a41dcc0e4a4", 33), 1);
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, "659359D13DC5002A27071A41DCC0E4A4", 32), 0);
    EXPECT_EQ(VXQ_F_DIGEST_ConstTimeEqual(sHex, "659359d13dc5002a27071a41dcc0e4a5", 32), 0);
}

TEST(Digest, ShortCodeChallengeAndDigestResponseHashWhatTheyPromise)
{
    /* Eight alphanumerics from the digest's byte pairs, and no terminator. */
    char sCode[9];
    memset(sCode, '#', sizeof(sCode));
    EXPECT_EQ(VXQ_TOOLS_MD5_MD5Encrypt(sCode, "password"), 1);
    EXPECT_EQ(std::string(sCode, 9), "mF95aD4o#");
    /* MD5 of the byte 7, the secret, then the fixed challenge. */
    const unsigned char ucSecret[] = {'s', 'e', 'c', 'r', 'e', 't'};
    unsigned char ucOut[16];
    EXPECT_EQ(MD5_enc(7, ucSecret, sizeof(ucSecret), ucOut), 16);
    EXPECT_EQ(HexOf(ucOut, 16), Md5Hex(std::string("\x07secretVXQ-DPS-CHAL-001")));

    /* The response digests exactly 98 bytes of hex(a):nonce:hex(b) and its zeros. */
    const unsigned char ucA[] = "user:realm:pass", ucB[] = "GET:/dir/index.html";
    std::string sHa = Md5Hex((const char *)ucA), sHb = Md5Hex((const char *)ucB);
    const struct {
        std::string sNonce, sHashed;
    } tCases[] = {
        {"dcd98b7102dd2f0e8b11d0f600bfb0c0", sHa + ":dcd98b7102dd2f0e8b11d0f600bfb0c0:" + sHb},
        {"abc", (sHa + ":abc:" + sHb + std::string(98, '\0')).substr(0, 98)},
        {std::string(1000, 'z'), (sHa + ":" + std::string(1000, 'z')).substr(0, 98)},
    };
    for (const auto &tCase : tCases) {
        ASSERT_EQ(tCase.sHashed.size(), 98u);
        char sOut[64] = "R="; /* appends to the text already there */
        EXPECT_EQ(MD5_Tamberlo(ucA, 15, ucB, 19, tCase.sNonce.c_str(), sOut), 32);
        EXPECT_EQ(std::string(sOut), "R=" + Md5Hex(tCase.sHashed)) << tCase.sNonce.size();
    }
}

TEST(Digest, Base64KnownAnswersBothWaysWithExactSizes)
{
    const struct {
        const char *sIn, *sOut;
    } tCases[] = {
        /* clang-format off */
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="}
        /* clang-format on */
    };
    for (const auto &tCase : tCases) {
        int iLen = (int)strlen(tCase.sIn), iSize = Base64encode_len(iLen);
        EXPECT_EQ(iSize, (int)strlen(tCase.sOut) + 1);
        std::vector<char> cBuf(iSize + 4, '#'); /* the canary behind the announced size survives */
        EXPECT_EQ(Base64encode(cBuf.data(), tCase.sIn, iLen), iSize) << tCase.sIn;
        EXPECT_STREQ(cBuf.data(), tCase.sOut);
        EXPECT_EQ(std::string(cBuf.data() + iSize, 4), "####");
    }
    EXPECT_EQ(Base64encode_len(-3), 1);
}

TEST(Digest, Base64DecodeStopsAtTheFirstNonAlphabetCharacter)
{
    const struct {
        const char *sIn;
        int iLenResult, iDecoded; /* Base64decode_len, Base64decode */
        const char *sBytes;
    } tCases[] = {
        /* clang-format off */
        {"", 1, 0, ""}, {"Zm9v", 4, 3, "foo"}, {"Zm8=", 4, 2, "fo"}, {"Zg==", 4, 1, "f"},
        {"Zm9vYmFy", 7, 6, "foobar"}, {"Zm8", 4, 2, "fo"}, /* unpadded tail */
        {"Zg", 4, 1, "f"}, {"Z", 4, 0, ""}, /* one character carries no whole byte */
        {"Zm9v Zm9v", 4, 3, "foo"}, /* a space ends it */
        {"Zm*v", 4, 1, "f"}, /* an invalid character in a group */
        {"-_-_", 1, 0, ""}, /* the URL-safe alphabet is not ours */
        {"Zm8=Zm9v", 4, 2, "fo"} /* nothing after '=' is read */
        /* clang-format on */
    };
    for (const auto &tCase : tCases) {
        EXPECT_EQ(Base64decode_len(tCase.sIn), tCase.iLenResult) << tCase.sIn;
        std::vector<char> cBuf(tCase.iLenResult + 4, '#');
        int iGot = Base64decode(cBuf.data(), tCase.sIn);
        EXPECT_EQ(iGot, tCase.iDecoded) << tCase.sIn;
        EXPECT_EQ(std::string(cBuf.data(), iGot + 1), tCase.sBytes + std::string(1, '\0')) << tCase.sIn;
        /* Never writes past the size Base64decode_len announced. */
        EXPECT_EQ(std::string(cBuf.data() + tCase.iLenResult, 4), "####") << tCase.sIn;
    }
}
