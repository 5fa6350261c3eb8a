/* Service instance: argument checks, start and stop, setters. */
#include "support/offline_rig.h"
#include "media/direct.h"

TEST(CoreInstance, StartRefusesBadArgumentsAndAcceptsTheLimits)
{
    const struct {
        int iPwdMode;
        int32_t iVideo, iAudio, iSubProto;
        bool bAccepted;
    } tCases[] = {
        {2, 4, 0, 0, false},  {-1, 4, 0, 0, false}, {0, 0, 0, 0, false}, {0, 65, 0, 0, false},
        {0, 4, -1, 0, false}, {0, 4, 65, 0, false}, {0, 4, 0, 3, false}, {1, 64, 0, 2, true},
        {0, 1, 64, 0, true},
    };
    for (const auto &tCase : tCases) {
        _VXQ_S_DPS_DEV_CAP_INFO tCap = TestBareCap();
        tCap.iVideoChanNum = tCase.iVideo;
        tCap.iAudioChanNum = tCase.iAudio;
        tCap.iSubProtoNum = tCase.iSubProto;
        VXQ_DPS_HANDLE h =
            VXQ_F_DPS_StartDevProNetServer(0, &tCap, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, tCase.iPwdMode);
        ASSERT_EQ(h != nullptr, tCase.bAccepted) << tCase.iPwdMode << " " << tCase.iVideo << " " << tCase.iAudio;
        if (h != nullptr) {
            EXPECT_EQ(h->ucPwdMode, (uint8_t)tCase.iPwdMode);
            EXPECT_EQ(memcmp(&h->tDevCapInfo, &tCap, sizeof(tCap)), 0);
            VXQ_F_DPS_StopDevProNetServer(h);
        }
    }
    EXPECT_EQ(VXQ_F_DPS_StartDevProNetServer(0, NULL, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, 0), nullptr);
}

/* A port of zero picks a free port; a second instance on it fails at the
 * listen step while the first still serves. */
TEST(CoreInstance, StartSetsTheDefaultsAndASecondInstanceOnTheSamePortFails)
{
    VXQ_DPS_HANDLE h = VXQ_F_TESTHOST_StartBare();
    ASSERT_NE(h, nullptr);
    EXPECT_NE(h->usTcpPort, 0);
    EXPECT_EQ(h->usUdpPort, VXQ_DPS_UDP_PORT);
    EXPECT_EQ(h->iMediaDataBufSize, 10485760);
    EXPECT_EQ(h->iOnlySendIFrameTimeLen, 60);
    EXPECT_EQ(h->iMaxRealplayClientNum, 64);
    EXPECT_NE(h->dwServerId, 0u) << "search answers and trace requests name the device by it";
    _VXQ_S_DPS_DEV_CAP_INFO tCap = TestBareCap();
    VXQ_DPS_HANDLE h2 = VXQ_F_DPS_StartDevProNetServer(h->usTcpPort, &tCap, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, 0);
    EXPECT_EQ(h2, nullptr);
    VXQ_F_DPS_StopDevProNetServer(h2);
    TestClient tClient;
    ASSERT_TRUE(tClient.Connect(h->usTcpPort));
    EXPECT_TRUE(VXQ_F_TESTHOST_WaitConnCount(h, 1));
    VXQ_F_DPS_StopDevProNetServer(h);
}

/* The setters accept exactly their ranges; the per-channel cache limit maps
 * channel 10000 to the special slot only with the special flag. */
TEST(CoreInstance, SettersAcceptExactlyTheirRanges)
{
    VXQ_DPS_HANDLE h = (VXQ_DPS_HANDLE)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
    ASSERT_NE(h, nullptr);
    const struct {
        int (*fnSet)(VXQ_DPS_HANDLE, int);
        int32_t *piField;
        int iLow, iHigh;
    } tSetters[] = {{VXQ_F_DPS_SetMediaDataBufSize, &h->iMediaDataBufSize, 1048576, 31457280},
                    {VXQ_F_DPS_SetOnlySendIFrameTimeLen, &h->iOnlySendIFrameTimeLen, 1, 3600},
                    {VXQ_F_DPS_SetMaxRealplayClientNum, &h->iMaxRealplayClientNum, 1, 64}};
    for (const auto &r : tSetters) {
        for (int iValue : {r.iLow - 1, r.iLow, r.iHigh, r.iHigh + 1}) {
            *r.piField = 7;
            bool bOk = iValue >= r.iLow && iValue <= r.iHigh;
            EXPECT_EQ(r.fnSet(h, iValue), bOk ? 1 : 0) << iValue;
            EXPECT_EQ(*r.piField, bOk ? iValue : 7);
        }
    }
    EXPECT_EQ(VXQ_F_DPS_SetShowRunState(h, 1), 1);
    EXPECT_EQ(h->bShowRunState, 1u);
    EXPECT_EQ(h->bSavedShowRunState, 1u);

    ASSERT_TRUE(VXQ_F_DPS_MC_MediaTable_Start(h));
    const struct {
        int32_t bSpecial;
        int iChNo, iStreamNo, iSize;
        int iSlot; /* slot written, -1 none (refused) */
    } tCases[] = { /* the slot lookup itself: SubChTable */
        {0, 3, 1, 0, 3},          {0, 3, 1, 102400, 3},    {0, 3, 1, 31457280, 3},    {0, 3, 1, 102399, -1},
        {0, 3, 1, 31457281, -1},  {0, 10000, 1, 204800, -1}, {1, 10000, 1, 307200, 64}, {0, 3, 3, 204800, -1},
    };
    for (const auto &r : tCases) {
        for (int i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++)
            h->pMediaCh[i].tSubCh[1].iMediaDataBufSize = -5;
        h->tDevCapInfo.bSpecialChFlag = r.bSpecial;
        EXPECT_EQ(VXQ_F_DPS_SetMediaDataBufSizeByCh(h, r.iChNo, r.iStreamNo, r.iSize), r.iSlot >= 0 ? 1 : 0)
            << r.iChNo << " " << r.iStreamNo << " " << r.iSize;
        for (int i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++)
            EXPECT_EQ(h->pMediaCh[i].tSubCh[1].iMediaDataBufSize, i == r.iSlot ? r.iSize : -5);
    }
    VXQ_F_DPS_MC_MediaTable_Stop(h);
    free(h);
}

TEST(CoreInstance, StartAndStop200TimesWithClientsConnectedLeavesNothingBehind)
{
    _VXQ_S_TESTHOST_DATA tHost;
    for (int i = 0; i < 200; i++) {
        VXQ_DPS_HANDLE h = VXQ_F_TESTHOST_Start(&tHost) ? tHost.pSrv : nullptr;
        ASSERT_NE(h, nullptr) << i;
        TestClient tA, tB;
        ASSERT_TRUE(tA.Connect(h->usTcpPort));
        ASSERT_TRUE(tB.Connect(h->usTcpPort));
        /* Something in every queue and table at stop: a half message, an event, a transaction. */
        ASSERT_TRUE(tA.Send(TestMsg(0x0F01, 1, 40).data(), 30));
        ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(h, 2)) << i;
        VXQ_F_TESTHOST_RunOnControl(h, [](_VXQ_S_DPS_MCSRV_DATA *p) {
            Bytes tReq = TestMsg(0x0902, 2, 4);
            VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(p, 0x10002, 0x0902, tReq.data(), (int32_t)tReq.size());
            VXQ_F_DPS_MC_SentProEventBody(p, EVENT_E2_UNGUARD, 0, NULL, 0);
        });
        EXPECT_EQ(VXQ_F_DPS_StopDevProNetServer(h), 1);
        tHost.pSrv = nullptr;
        EXPECT_TRUE(tA.WaitClosed());
        EXPECT_TRUE(tB.WaitClosed());
    }
}
