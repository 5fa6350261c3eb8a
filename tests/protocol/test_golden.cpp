/* Golden wire vectors: messages the service builds, compared byte for byte with
 * byte strings worked out by hand from the wire layouts. The same expected
 * bytes hold on every host: the suite runs on little- and big-endian builds, so
 * a message built on one is the message built on the other. Host-order inputs
 * (capability record, configuration block) are written with native stores, so
 * on a big-endian host they really are big-endian before the service converts. */
#include "media/framemsg.h"
#include "mgmt/npd.h"
#include "protocol/session.h"
#include "support/offline_rig.h"
#include "wire/cfgblock.h"

#include <ctype.h>

namespace {

/* "EE EE FF FF 24" -> bytes; spaces and '|' are separators only. */
Bytes Hex(const char *in_sHex)
{
    Bytes tOut;
    std::string sDigits;
    for (const char *p = in_sHex; *p; p++) {
        if (isxdigit((unsigned char)*p))
            sDigits += *p;
    }
    for (size_t i = 0; i + 1 < sDigits.size(); i += 2)
        tOut.push_back((uint8_t)std::stoul(sDigits.substr(i, 2), nullptr, 16));
    return tOut;
}

/* Copies in_tPart into inout_tMsg at in_iOffset (the expected image is built from pieces). */
void Place(Bytes &inout_tMsg, size_t in_iOffset, const Bytes &in_tPart)
{
    ASSERT_LE(in_iOffset + in_tPart.size(), inout_tMsg.size());
    memcpy(inout_tMsg.data() + in_iOffset, in_tPart.data(), in_tPart.size());
}

void PlaceText(Bytes &inout_tMsg, size_t in_iOffset, const char *in_sText)
{
    Place(inout_tMsg, in_iOffset, Bytes(in_sText, in_sText + strlen(in_sText)));
}

/* A 32-bit value in host order, as the host application stores it. */
void PutHost32(uint8_t *out_pField, uint32_t in_dwValue)
{
    memcpy(out_pField, &in_dwValue, 4);
}

/* First differing offset, or -1: makes a failure say where the bytes part. */
long FirstDiff(const Bytes &in_tA, const Bytes &in_tB)
{
    size_t n = in_tA.size() < in_tB.size() ? in_tA.size() : in_tB.size();
    for (size_t i = 0; i < n; i++) {
        if (in_tA[i] != in_tB[i])
            return (long)i;
    }
    return in_tA.size() == in_tB.size() ? -1 : (long)n;
}

void FillCap(_VXQ_S_DPS_DEV_CAP_INFO *out_pCap)
{
    memset(out_pCap, 0, sizeof(*out_pCap));
    strcpy(out_pCap->sDevIdText, "IPC0042");
    strcpy(out_pCap->sDevText1, "Cam");
    strcpy(out_pCap->sDevText2, "Acme");
    out_pCap->iVideoChanNum = 0x11223344;
    out_pCap->iAudioChanNum = 2;
    out_pCap->iDevCapValue1 = 0x0A0B0C0D;
    out_pCap->iDevCapValue2 = -2;
    out_pCap->iDevCapValue3 = 0x00000100;
    out_pCap->iDevCapValue4 = 0x7F000001;
    out_pCap->iSubProtoNum = 2;
    out_pCap->bSpecialChFlag = 1;
    out_pCap->iDevCapValue5 = 0x1A5;
}

} // namespace

class GoldenWireOffline : public OfflineRig
{
};

TEST_F(GoldenWireOffline, LoginAnswerIsTheRequestWithHeadAndAnswerFieldsInLittleEndian)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = AddConn(7, VXQ_DPS_CONN_NEW);
    FillCap(&p->tDevCapInfo);
    /* Device texts that fill their 32-byte records, without a terminator. */
    memcpy(p->tDevCapInfo.sDevText1, "0123456789abcdefghijklmnopqrstuv", 32);
    memcpy(p->tDevCapInfo.sDevText2, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 32);
    p->fnQueryUserCallback = [](void *, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUser) -> int {
        strcpy(out_pUser->sUserName, in_sName);
        strcpy(out_pUser->sPassword, "pw");
        out_pUser->dwPopMask = 0xFFFFFFFFu;
        return 1;
    };
    Request(pConn, VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 1, 89));
    std::string sToken((const char *)OneSent(pConn).data() + 48);

    /* The login id's 32 random bits, fixed for the vector. */
    VXQ_PF_DPS_RANDOM32 fnOldRandom = VXQ_F_DPS_MW_SetLoginIdRandom([]() -> uint32_t { return 0x76543210u; });
    Bytes tRequest = VXQ_F_TESTCLI_BuildLogin(0x89ABCDEFu, "admin", VXQ_F_TESTCLI_LoginDigest(sToken, "pw"));
    ASSERT_EQ(tRequest.size(), 548u);
    tRequest[10] = 0xA4; /* bits 2-7 of byte 10 travel back unchanged */
    memcpy(tRequest.data() + 16, "\x01\x02\x03\x04", 4);
    std::fill(tRequest.begin() + 308, tRequest.end(), 0xCC); /* bytes no answer field covers stay */
    Request(pConn, tRequest);
    VXQ_F_DPS_MW_SetLoginIdRandom(fnOldRandom);
    Bytes tAnswer = OneSent(pConn);

    /* Expected: the request's user name, digest and uncovered bytes, then the answer fields. */
    Bytes tExpect(tRequest);
    Place(tExpect, 0, Hex("EE EE FF FF | 24 02 00 00 | 02 01 | A5 | 00 | EF CD AB 89 | 01 02 03 04"));
    Place(tExpect, 308, Hex("10 32 54 76"));      /* 20 + 288: the login id */
    Place(tExpect, 312, Bytes(9, 0));              /* 20 + 292: at most 8 characters, then zeros */
    PlaceText(tExpect, 312, "IPC0042");
    Place(tExpect, 356, Bytes(64, 0));             /* 20 + 336, 20 + 368: 31 characters each, then a zero */
    PlaceText(tExpect, 356, "0123456789abcdefghijklmnopqrstu");
    PlaceText(tExpect, 388, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    tExpect[420] = tExpect[456] = tExpect[488] = 0; /* 20 + 400, 436, 468: empty texts */
    Place(tExpect, 512, Hex("01 A5"));              /* 20 + 492: special channel flag, cap 5 low byte */
    Place(tExpect, 520, Hex("44 33 22 11 | 02 00 00 00 | 0D 0C 0B 0A | FE FF FF FF | 00 01 00 00"));
    EXPECT_EQ(FirstDiff(tAnswer, tExpect), -1);
}

TEST(GoldenWire, VideoAndAudioFrameMessagesPackTheStreamDescriptionLittleEndian)
{
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA tSubCh;
    memset(&tSubCh, 0, sizeof(tSubCh));
    tSubCh.iVideoCodecId = 4;
    tSubCh.usVideoWidth = 1920;  /* 0x780 */
    tSubCh.usVideoHeight = 1080; /* 0x438 */
    tSubCh.iVideoFrameRate = 25; /* 0x19 */
    tSubCh.iVideoBitRate = 0x2A5B;
    tSubCh.iAudioCodecId = 2;
    tSubCh.iAudioSampleRate = 8000; /* 0x1F40 */
    tSubCh.iAudioBitRate = 0xBEEF;
    tSubCh.iAudioChNum = 1;
    const uint8_t ucData[4] = {'A', 'B', 'C', 'D'};
    struct {
        int iMediaType;
        const char *sExpect;
    } const tCases[] = {
        /* codec | type 1 << 4 = 14; width 80, 7 | (8 << 4) = 87, 43; rate 19 | bit 0 << 7 = 99,
         * bits 1-8 = 2D, bits 9-14 = 15; time stamp 0x01020304. */
        {VXQ_DPS_MEDIA_TYPE_VIDEO,
         "EE EE FF FF | 24 00 00 00 | 01 0E | 00 | 00 | 00 00 00 00 | 00 00 00 00 |"
         "14 80 87 43 | 99 2D 15 00 | 04 03 02 01 | 41 42 43 44"},
        /* codec 2 | (0 << 4) = 02; 0x1F40 >> 4 = F4; >> 12 = 01; 1; bit rate EF BE; 1 channel. */
        {VXQ_DPS_MEDIA_TYPE_AUDIO,
         "EE EE FF FF | 24 00 00 00 | 02 0E | 00 | 00 | 00 00 00 00 | 00 00 00 00 |"
         "02 F4 01 01 | EF BE 01 00 | 04 03 02 01 | 41 42 43 44"},
    };
    for (const auto &tCase : tCases) {
        int32_t iLen = 0;
        uint8_t *pMsg = VXQ_F_DPS_MC_FrameMsg_Build(tCase.iMediaType, &tSubCh, 1, 0x01020304u, ucData, 4, &iLen);
        ASSERT_NE(pMsg, nullptr);
        EXPECT_EQ(Bytes(pMsg, pMsg + iLen), Hex(tCase.sExpect)) << "media type " << tCase.iMediaType;
        /* The translator leaves a frame as it is on every host. */
        Bytes tCopy(pMsg, pMsg + iLen);
        EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(0, tCopy.data(), (uint32_t)iLen), 1);
        EXPECT_EQ(tCopy, Hex(tCase.sExpect));
        free(pMsg);
    }
}

TEST(GoldenWire, SearchAnswerDatagramIsLittleEndianWithTextsZeroFilled)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    FillCap(&tCap);
    uint8_t ucRsp[VXQ_DPS_NPD_SEARCH_RSP_LEN];
    memset(ucRsp, 0xCC, sizeof(ucRsp));
    ASSERT_EQ(VXQ_F_DPS_NPD_BuildSearchRsp(ucRsp, 0x0BADF00Du, 0xCAFEBABEu, 0x00C0FFEEu, &tCap, 1, 0, 0x10000),
              140);
    Bytes tExpect(140, 0);
    /* Flag AB8C02FF, length 140, function 3, answer, request number, result 0. */
    Place(tExpect, 0, Hex("FF 02 8C AB | 8C 00 | 03 | 01 | 0D F0 AD 0B | 00 00 00 00"));
    Place(tExpect, 16, Hex("BE BA FE CA | EE FF C0 00"));
    PlaceText(tExpect, 24, "IPC0042");
    PlaceText(tExpect, 36, "Cam");
    PlaceText(tExpect, 68, "Acme");
    Place(tExpect, 100, Hex("44 33 22 11 | 02 00 00 00 | 0D 0C 0B 0A | FE FF FF FF | 00 01 00 00 |"
                            "01 00 00 7F | 02 00 00 00 | 01 00 00 00 | 00 00 00 00 | 00 00 01 00"));
    Bytes tGot(ucRsp, ucRsp + 140);
    EXPECT_EQ(FirstDiff(tGot, tExpect), -1);
    /* The send path's conversion leaves it in that order on every host. */
    EXPECT_EQ(VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(NULL, VXQ_DPS_NPD_TO_WIRE, ucRsp, 140), 1);
    EXPECT_EQ(Bytes(ucRsp, ucRsp + 140), tExpect);
}

TEST(GoldenWire, ConfigBlock8InAGetConfigAnswerGoesOutLittleEndianAndComesBackInHostOrder)
{
    /* P9_GET_CONFIG answer: head, body u32 at 0, the configuration id 8 at 4,
     * u32 at 8, then the 564-byte block at message offset 32. */
    const uint32_t dwMsgLen = 32 + 564;
    Bytes tMsg(dwMsgLen, 0);
    VXQ_F_DPS_MW_HeadBuildFresh(tMsg.data(), dwMsgLen, P9_GET_CONFIG, VXQ_DPS_UMSP_PACKET_ANSWER, 0);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 12, 0x00000077u);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 20, 3);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 24, 8);
    uint8_t *pBlock = tMsg.data() + 32;
    /* Host order: u32 fields 0x10203000 + offset; bytes at 8 and 32 are not fields. */
    const uint32_t dwFieldOffsets[] = {0, 4, 12, 16, 20, 24, 28, 36, 40, 44, 48, 52, 56};
    for (uint32_t dwOff : dwFieldOffsets)
        PutHost32(pBlock + dwOff, 0x10203000u + dwOff);
    memcpy(pBlock + 8, "ABCD", 4);
    memcpy(pBlock + 32, "WXYZ", 4);
    for (uint32_t e = 0; e < 42; e++) {
        PutHost32(pBlock + 60 + 12 * e, 0xA0B00000u + e);
        memcpy(pBlock + 60 + 12 * e + 4, "entry-8!", 8);
    }
    const Bytes tHostMsg = tMsg;

    ASSERT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(0, tMsg.data(), dwMsgLen), 1);

    Bytes tExpect(dwMsgLen, 0);
    Place(tExpect, 0, Hex("EE EE FF FF | 54 02 00 00 | 02 09 | 01 | 00 | 77 00 00 00 | 00 00 00 00 |"
                          "03 00 00 00 | 08 00 00 00 | 00 00 00 00"));
    Place(tExpect, 32, Hex("00 30 20 10 | 04 30 20 10 | 41 42 43 44 | 0C 30 20 10 | 10 30 20 10 |"
                           "14 30 20 10 | 18 30 20 10 | 1C 30 20 10 | 57 58 59 5A | 24 30 20 10 |"
                           "28 30 20 10 | 2C 30 20 10 | 30 30 20 10 | 34 30 20 10 | 38 30 20 10"));
    Place(tExpect, 92, Hex("00 00 B0 A0 65 6E 74 72 79 2D 38 21 | 01 00 B0 A0 65 6E 74 72 79 2D 38 21"));
    for (uint32_t e = 2; e < 41; e++) {
        Place(tExpect, 92 + 12 * e, Bytes{(uint8_t)e, 0x00, 0xB0, 0xA0});
        PlaceText(tExpect, 92 + 12 * e + 4, "entry-8!");
    }
    Place(tExpect, 584, Hex("29 00 B0 A0 65 6E 74 72 79 2D 38 21"));
    EXPECT_EQ(FirstDiff(tMsg, tExpect), -1);

    /* A SET_CONFIG request carrying the same wire block reaches the host in host order. */
    VXQ_F_DPS_MW_PutLe16(tMsg.data() + 8, P9_SET_CONFIG);
    tMsg[10] = 0;
    ASSERT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, tMsg.data(), dwMsgLen), 1);
    EXPECT_EQ(Bytes(tMsg.begin() + 32, tMsg.end()), Bytes(tHostMsg.begin() + 32, tHostMsg.end()));
}

/* A running service with one logged-in command connection. */
class GoldenWireLive : public HostFixture
{
};

TEST_F(GoldenWireLive, AlarmNoticeCarriesChannelEventLocalTimeParameterAndTextLittleEndian)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    TestClock tClock(1700000000); /* 2023-11-14 22:13:20 UTC */
    TestClient &tCli = Client();
    ASSERT_EQ(VXQ_F_DPS_UpAlarmMsg(m_tHost.pSrv, 3, 0x0102, 0xDEADBEEFu, "door open"), 1);
    Bytes tNotice = Read(tCli);
    Bytes tExpect(172, 0);
    Place(tExpect, 0, Hex("EE EE FF FF | AC 00 00 00 | 03 05 | 00 | 00 | 00 00 00 00 | 00 00 00 00"));
    /* channel 3, event 0x0102, 2023 (07E7) month 11, day 14 22:13:20, parameter. */
    Place(tExpect, 20, Hex("03 00 00 00 | 02 01 00 00 | E7 07 0B 00 0E 16 0D 14 00 00 00 00 | EF BE AD DE"));
    PlaceText(tExpect, 44, "door open");
    EXPECT_EQ(FirstDiff(tNotice, tExpect), -1);
}

TEST_F(GoldenWireLive, FileQueryAnswerWithTwoRecordsIsLittleEndianFieldByField)
{
    TestClient &tCli = Client();
    Bytes tRequest = VXQ_F_TESTCLI_BuildZeroMsg(P3_QUERY_FILE, 0x00BEEF01u, 48);
    VXQ_F_TESTCLI_PutU32(tRequest, 20, tCli.dwLoginId);
    VXQ_F_TESTCLI_PutU32(tRequest, 24, 1); /* channel 1 */
    ASSERT_TRUE(tCli.Send(tRequest));
    Bytes tEvent = Event(EVENT_E2_FILE_QUERY);

    /* The host's answer: the query body with o_iFileNum 2, then two records in host order. */
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    ASSERT_GE(tEvent.size(), 16 + sizeof(tBody));
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    tBody.o_iFileNum = 2;
    _VXQ_S_DPS_FILE_INFO tInfo[2];
    memset(tInfo, 0, sizeof(tInfo));
    for (int i = 0; i < 2; i++) {
        snprintf(tInfo[i].sFileFlag, sizeof(tInfo[i].sFileFlag), "ch1/rec-000%d", i + 1);
        tInfo[i].iFileType = 1;
        tInfo[i].iCreateMode = 2;
        tInfo[i].iAlarmEvent = 0x0304;
        tInfo[i].tStartTime = _VXQ_S_TD_DATE_TIME{2026, 12, 6, 9, 30, 0, {0, 0, 0, 0}};
        tInfo[i].tEndTime = _VXQ_S_TD_DATE_TIME{2026, 12, 6, 9, 45, 30, {0, 0, 0, 0}};
        tInfo[i].dwFileTimeLen = 930;
        tInfo[i].dwFileSize = i == 0 ? 0x12345678u : 0x00ABCDEFu;
        tInfo[i].bVideoFlag = 1;
        tInfo[i].bAudioFlag = 1;
        tInfo[i].iVideoCodecId = 4;
        tInfo[i].iVideoFrameRate = 25;
        tInfo[i].iVideoBitRate = 4096;
        tInfo[i].usVideoWidth = 1920;
        tInfo[i].usVideoHeight = 1080;
        tInfo[i].iAudioCodecId = 2;
        tInfo[i].iAudioBitRate = 64000;
        tInfo[i].iAudioSampleRate = 8000;
        tInfo[i].iAudioChNum = 1;
        tInfo[i].iPictureFormat = -1;
    }
    Bytes tOrderBody(sizeof(tBody) + sizeof(tInfo));
    memcpy(tOrderBody.data(), &tBody, sizeof(tBody));
    memcpy(tOrderBody.data() + sizeof(tBody), tInfo, sizeof(tInfo));
    Answer(tEvent, 0, tOrderBody.data(), (int32_t)tOrderBody.size());
    Bytes tAnswer = Read(tCli);

    /* 68 + 2 x 220 = 508 (0x1FC) bytes: the request as answer, iFileNum 2, the records. */
    Bytes tExpect(508, 0);
    Place(tExpect, 0, Bytes(tRequest.begin(), tRequest.end()));
    Place(tExpect, 0, Hex("EE EE FF FF | FC 01 00 00 | 01 03 | 01 | 00 | 01 EF BE 00 | 00 00 00 00"));
    Place(tExpect, 64, Hex("02 00 00 00"));
    /* 128 type, create mode, alarm event; start 2026-12-06 09:30:00, end 09:45:30;
     * time length 930, size (at 168, per record); video, audio, picture flags;
     * codec 4, 25 fps, 4096; 1920 x 1080; audio codec 2, 64000, 8000, 1 channel; picture format -1. */
    const char *sRecordTail = "01 00 00 00 | 02 00 00 00 | 04 03 00 00 | EA 07 0C 00 06 09 1E 00 00 00 00 00 |"
                              "EA 07 0C 00 06 09 2D 1E 00 00 00 00 | A2 03 00 00 | 00 00 00 00 |"
                              "01 00 00 00 | 01 00 00 00 | 00 00 00 00 | 04 00 00 00 | 19 00 00 00 | 00 10 00 00 |"
                              "80 07 38 04 | 02 00 00 00 | 00 FA 00 00 | 40 1F 00 00 | 01 00 00 00 | FF FF FF FF";
    for (int i = 0; i < 2; i++) {
        PlaceText(tExpect, 68 + 220 * i, i == 0 ? "ch1/rec-0001" : "ch1/rec-0002");
        Place(tExpect, 68 + 220 * i + 128, Hex(sRecordTail));
        Place(tExpect, 68 + 220 * i + 168, Hex(i == 0 ? "78 56 34 12" : "EF CD AB 00"));
    }
    EXPECT_EQ(FirstDiff(tAnswer, tExpect), -1);
}
