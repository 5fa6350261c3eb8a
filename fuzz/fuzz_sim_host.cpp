/* The byte-stream script (VXQ_F_FUZZSRV_RunScript, fuzz_service.h) with the
 * simulator's own host behind the service: every event the service raises goes
 * to the simulator's handlers (tools/sim/host_*.cpp) on this thread, and their
 * answers come back through the order queue, so every field a client controls
 * (times, counts, lengths, names, ids) reaches the simulator's code. Live view
 * opens and closes are answered by the plain answering host instead: the
 * simulator would start a feeder thread per stream.
 *
 * The simulator's files (its configuration, the recordings it makes from the
 * clip, talk, configuration and upgrade data) live in a folder of their own,
 * made at the first input and removed at exit; every input starts from the
 * same configuration and empty data folders. */
#include "fuzz_service.h"

#include "core/channel.h"
#include "core/control.h"
#include "host.h"
#include "protocol/dispatch.h"
#include "simconfig.h"
#include "vxq_queue.h"

#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#ifndef VXQ_FUZZ_SIM_MEDIA_DIR
#define VXQ_FUZZ_SIM_MEDIA_DIR "tools/sim/media"
#endif

static _VXQ_S_SIMHOST_DATA *s_pHost = NULL;
static _VXQ_S_SIMCFG_DATA *s_pCfg = NULL;
static _VXQ_S_SIMCFG_DATA *s_pPristine = NULL;
static char s_sDir[256];
static std::string s_sIni;

/* Two channels (the clip on channel 0, with audio), admin / secret with every
 * right (the script's login), a viewer, two recordings made from the clip, and
 * small limits on what talk and upgrade may write. */
static std::string PR_IniText(void)
{
    return std::string("[service]\nport = 7000\nlog_dir = log\n"
                       "[device]\nvideo_channels = 2\naudio_channels = 1\nspecial_channel = 1\n"
                       "[user0]\nname = admin\npassword = secret\nglobal_rights = 0xFF\n"
                       "[user1]\nname = viewer\npassword = viewer\nglobal_rights = 0x00\nchannel_rights = 0x09,0x09\n"
                       "[channel0]\nstream0_source = ") +
           VXQ_FUZZ_SIM_MEDIA_DIR +
           "/clip.h264\nstream0_fps = 25\naudio = 1\n"
           "[channel1]\nstream0_fps = 10\n"
           "[records]\ndir = records\nseed_from_clip = 2\n"
           "[talk]\ndir = talk\nmax_bytes = 65536\n"
           "[config]\ndir = config\n"
           "[upgrade]\ndir = upgrade\nmax_bytes = 65536\n"
           "[quality]\nlevel = 1\ncap_num = 2\ncap0 = low,0,320,240,10,128\ncap1 = high,1,1280,720,25,2048\n";
}

static int PR_RemoveOne(const char *in_sPath, const struct stat *, int, struct FTW *)
{
    remove(in_sPath);
    return 0;
}

static void PR_Cleanup(void)
{
    if (s_sDir[0] != 0)
        nftw(s_sDir, PR_RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

/* Removes the files a run left in one of the simulator's data folders. */
static void PR_EmptyDir(const char *in_sDir)
{
    DIR *pDir = opendir(in_sDir);
    if (pDir == NULL)
        return;
    struct dirent *pEntry;
    while ((pEntry = readdir(pDir)) != NULL) {
        if (pEntry->d_name[0] == '.')
            continue;
        std::string sPath = std::string(in_sDir) + "/" + pEntry->d_name;
        remove(sPath.c_str());
    }
    closedir(pDir);
}

static void PR_WriteIni(void)
{
    FILE *pFile = fopen(s_pCfg->sConfigFile, "w");
    if (pFile == NULL || fwrite(s_sIni.data(), 1, s_sIni.size(), pFile) != s_sIni.size())
        abort();
    fclose(pFile);
}

/* Makes the simulator's host once and puts it behind the instance. */
static void PR_InitHost(_VXQ_S_DPS_MCSRV_DATA *p)
{
    const char *sTmp = getenv("TMPDIR");
    snprintf(s_sDir, sizeof(s_sDir), "%s/dps-fuzz-sim-XXXXXX", sTmp != NULL && sTmp[0] != 0 ? sTmp : "/tmp");
    if (mkdtemp(s_sDir) == NULL)
        abort();
#ifdef VXQ_FUZZ_QUIET
    /* The simulator writes a console line for most events: not while fuzzing. */
    if (freopen("/dev/null", "w", stdout) == NULL)
        abort();
#endif
    atexit(PR_Cleanup);
    s_sIni = PR_IniText();
    std::string sIniPath = std::string(s_sDir) + "/sim.ini";
    FILE *pFile = fopen(sIniPath.c_str(), "w");
    if (pFile == NULL || fwrite(s_sIni.data(), 1, s_sIni.size(), pFile) != s_sIni.size())
        abort();
    fclose(pFile);
    s_pCfg = (_VXQ_S_SIMCFG_DATA *)calloc(1, sizeof(*s_pCfg));
    s_pPristine = (_VXQ_S_SIMCFG_DATA *)calloc(1, sizeof(*s_pPristine));
    s_pHost = new _VXQ_S_SIMHOST_DATA();
    char sReason[256];
    if (s_pCfg == NULL || s_pPristine == NULL || !VXQ_F_SIMCFG_Load(sIniPath.c_str(), s_pCfg, sReason, sizeof(sReason)) ||
        !VXQ_F_SIMHOST_Init(s_pHost, s_pCfg, sReason, sizeof(sReason))) {
        fprintf(stderr, "fuzz_sim_host: the simulator's host does not start: %s\n", sReason);
        abort();
    }
    memcpy(s_pPristine, s_pCfg, sizeof(*s_pCfg));
    s_pHost->hService = (VXQ_DPS_HANDLE)p;
    p->fnQueryUserCallback = VXQ_F_SIMHOST_QueryUser;
    p->pQueryUser = s_pHost;
    p->tDevCapInfo.bSpecialChFlag = s_pCfg->bSpecialChFlag;
    p->tDevCapInfo.iVideoChanNum = s_pCfg->iVideoChanNum;
    p->tDevCapInfo.iAudioChanNum = s_pCfg->iAudioChanNum;
}

/* The simulator as it was before the input: configuration, files and state. */
static void PR_ResetHost(void)
{
    VXQ_F_SIMHOST_RecordUninit(s_pHost);
    VXQ_F_SIMHOST_TalkUninit(s_pHost);
    VXQ_F_SIMHOST_MaintUninit(s_pHost);
    s_pHost->dwUpgradeBytes = 0;
    s_pHost->dwUpgradeTotal = 0;
    for (int iSlot = 0; iSlot < VXQ_SIMHOST_CH_SLOTS; iSlot++)
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++)
            s_pHost->dwQualityLevel[iSlot][iStream] = (uint32_t)s_pPristine->iQualityLevel;
    memcpy(s_pCfg, s_pPristine, sizeof(*s_pCfg));
    PR_WriteIni();
    PR_EmptyDir(s_pCfg->sTalkDir);
    PR_EmptyDir(s_pCfg->sConfigDir);
    PR_EmptyDir(s_pCfg->sUpgradeDir);
}

/* The host's turn: every raised event to the simulator (or, for live view
 * opens and closes, answered as raised), each followed by the orders it
 * brought back. */
static void PR_SimHost(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t in_ucResult)
{
    for (int i = 0; i < 64; i++) {
        p->iCallbackDataLen = 0;
        if (!VXQ_F_TOOLS_QUEUE_GetDataEx(p->hCallbackQueue, &p->pCallbackBuf, &p->iCallbackDataLen,
                                         &p->iCallbackBufSize, 0))
            break;
        if (p->iCallbackDataLen < (int32_t)sizeof(_VXQ_S_DPS_MSG_HEAD))
            continue;
        _VXQ_S_DPS_MSG_HEAD tHead;
        memcpy(&tHead, p->pCallbackBuf, sizeof(tHead));
        if (tHead.iMsgFuncId == EVENT_E2_OPEN_MEDIA_STREAM || tHead.iMsgFuncId == EVENT_E2_CLOSE_MEDIA_STREAM) {
            p->pCallbackBuf[4] = 1;
            p->pCallbackBuf[5] = (char)in_ucResult;
            VXQ_F_DPS_MW_DoOrderData(p, (uint8_t *)p->pCallbackBuf, p->iCallbackDataLen);
        } else {
            VXQ_F_SIMHOST_HandleEvent(s_pHost, (const uint8_t *)p->pCallbackBuf, p->iCallbackDataLen);
        }
        for (int n = 0; n < 4096 && VXQ_F_DPS_MC_DoOrderQueue(p); n++)
            ;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_FUZZSRV_Get();
    if (s_pHost == NULL)
        PR_InitHost(p);
    VXQ_F_FUZZSRV_RunScript(p, in_pData, in_iSize, PR_SimHost);
    VXQ_F_FUZZSRV_Reset(p);
    PR_ResetHost();
    return 0;
}
