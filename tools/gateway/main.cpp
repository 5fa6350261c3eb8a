/*
 * main.cpp - dps-gateway: every channel of one or more devices as an RTSP
 * stream for standard players. Parses the command line (or the device file),
 * starts the device side and the RTSP server, prints a status line every 5 s
 * (and at once on SIGUSR1), and stops cleanly on SIGINT or SIGTERM with exit
 * status 0. Bad usage and a port that cannot be used end it at once with exit
 * status 2 and one line on the standard error.
 */
#include "gwconf.h"
#include "gwrtsp.h"
#include "gwview.h"

#include "vxq_log.h"

#include <glib-unix.h>
#include <gst/gst.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <signal.h>
#include <stdio.h>

#define PR_EXIT_USAGE 2
#define PR_STATUS_PERIOD_S 5

/* In a build with LeakSanitizer: GLib and GStreamer keep type, plugin and
 * thread-pool memory to the end of the process by design; the gateway's own
 * allocations stay checked. */
extern "C" const char *__lsan_default_suppressions(void);
extern "C" const char *__lsan_default_suppressions(void)
{
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgio-2.0.so\nleak:libgst\n";
}
/* ... and says nothing about them: bad usage stays one line. */
extern "C" const char *__lsan_default_options(void);
extern "C" const char *__lsan_default_options(void)
{
    return "print_suppressions=0";
}

typedef struct PR_MAIN {
    GMainLoop *pLoop;
    int iStopSignal;
    _VXQ_S_GWVIEW_GATEWAY *pGw;
    _VXQ_S_GWRTSP_DATA *pRtsp;
    uint64_t qwLastBytes;
    gint64 iLastUs;
} PR_MAIN;

/* One status line: devices, open streams, RTSP clients, bytes per second. */
static void PR_Status(PR_MAIN *inout_pMain)
{
    _VXQ_S_GWVIEW_STATS tStats;
    VXQ_F_GWVIEW_Stats(inout_pMain->pGw, &tStats);
    gint64 iNowUs = g_get_monotonic_time();
    gint64 iSpanUs = iNowUs - inout_pMain->iLastUs > 0 ? iNowUs - inout_pMain->iLastUs : 1;
    unsigned long long llRate =
        (unsigned long long)((tStats.qwBytes - inout_pMain->qwLastBytes) * 1000000ull / (uint64_t)iSpanUs);
    inout_pMain->qwLastBytes = tStats.qwBytes;
    inout_pMain->iLastUs = iNowUs;
    VXQ_F_GWVIEW_Say(
        "status: devices %d (reachable %d), open streams %d%s%s%s, rtsp clients %d, client pipelines "
        "%d, device media %llu B/s, dropped frames %llu",
        tStats.iDevices, tStats.iReachable, tStats.iOpenViews, tStats.iOpenViews ? " (" : "",
        tStats.sViews.c_str(), tStats.iOpenViews ? ")" : "", VXQ_F_GWRTSP_Clients(inout_pMain->pRtsp),
        tStats.iSinks, llRate, (unsigned long long)tStats.qwDropped);
}

static gboolean PR_OnStatusTimer(gpointer in_pMain)
{
    PR_Status((PR_MAIN *)in_pMain);
    return G_SOURCE_CONTINUE;
}

/* SIGUSR1: a status line now; freed heap pages go back to the system first,
 * so the resident size an observer reads next is what is in use. */
static gboolean PR_OnStatusSignal(gpointer in_pMain)
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    PR_Status((PR_MAIN *)in_pMain);
    return G_SOURCE_CONTINUE;
}

static gboolean PR_OnSigInt(gpointer in_pMain)
{
    ((PR_MAIN *)in_pMain)->iStopSignal = SIGINT;
    g_main_loop_quit(((PR_MAIN *)in_pMain)->pLoop);
    return G_SOURCE_CONTINUE;
}

static gboolean PR_OnSigTerm(gpointer in_pMain)
{
    ((PR_MAIN *)in_pMain)->iStopSignal = SIGTERM;
    g_main_loop_quit(((PR_MAIN *)in_pMain)->pLoop);
    return G_SOURCE_CONTINUE;
}

int main(int argc, char **argv)
{
    _VXQ_S_GWCONF_DATA tConf;
    std::string sError;
    if (!VXQ_F_GWCONF_Parse(argc, argv, &tConf, &sError)) {
        fprintf(stderr, "dps-gateway: %s\n", sError.c_str());
        return PR_EXIT_USAGE;
    }
    if (tConf.bHelp) {
        fputs(VXQ_F_GWCONF_Usage(), stdout);
        return 0;
    }
    VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
    signal(SIGPIPE, SIG_IGN);
    gst_init(nullptr, nullptr);
    PR_MAIN tMain = {nullptr, 0, nullptr, nullptr, 0, g_get_monotonic_time()};
    tMain.pGw = VXQ_F_GWVIEW_New(&tConf, VXQ_F_GWRTSP_SinkOps());
    if (tMain.pGw == nullptr) {
        fprintf(stderr, "dps-gateway: cannot start the device monitor thread\n");
        return PR_EXIT_USAGE;
    }
    /* The handlers are in place before the start line: whoever waits for it
     * may signal at once. */
    tMain.pLoop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGINT, PR_OnSigInt, &tMain);
    g_unix_signal_add(SIGTERM, PR_OnSigTerm, &tMain);
    g_unix_signal_add(SIGUSR1, PR_OnStatusSignal, &tMain);
    tMain.pRtsp = VXQ_F_GWRTSP_Start(tMain.pGw, &tConf, &sError);
    if (tMain.pRtsp == nullptr) {
        VXQ_F_GWVIEW_Free(tMain.pGw);
        fprintf(stderr, "dps-gateway: %s\n", sError.c_str());
        return PR_EXIT_USAGE;
    }
    std::string sDevices;
    for (const _VXQ_S_GWCONF_DEVICE &tDev : tConf.tDevices)
        sDevices += (sDevices.empty() ? "" : ", ") + tDev.sName + " (" + tDev.sHost + ":" +
                    std::to_string(tDev.usPort) + ")";
    VXQ_F_GWVIEW_Say("listening on RTSP port %d%s%s: rtsp://HOST:%d/<device>/ch<N>[/sub] for %s",
                     VXQ_F_GWRTSP_Port(tMain.pRtsp), tConf.sBind.empty() ? "" : " of ", tConf.sBind.c_str(),
                     VXQ_F_GWRTSP_Port(tMain.pRtsp), sDevices.c_str());
    g_timeout_add_seconds(PR_STATUS_PERIOD_S, PR_OnStatusTimer, &tMain);
    g_main_loop_run(tMain.pLoop);
    VXQ_F_GWVIEW_Say("stopping (%s)", tMain.iStopSignal == SIGINT ? "SIGINT" : "SIGTERM");
    /* Views first: their clients get the end of stream; then the server. The
     * device records stay while any client pipeline may still detach. */
    VXQ_F_GWVIEW_StopAll(tMain.pGw);
    int iHeld = VXQ_F_GWRTSP_Stop(tMain.pRtsp);
    g_main_loop_unref(tMain.pLoop);
    if (iHeld != 0) {
        VXQ_F_GWVIEW_Say("%d client pipeline(s) still held at exit", iHeld);
        return 0;
    }
    VXQ_F_GWVIEW_Free(tMain.pGw);
    gst_deinit();
    return 0;
}
