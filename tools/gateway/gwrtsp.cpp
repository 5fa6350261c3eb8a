/* gwrtsp.cpp - dps-gateway's RTSP side: mount points, per-client pipelines fed by device views. */
#include "gwrtsp.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#define PR_MAX_CLIENT_THREADS 32 /* clients beyond share these threads */
#define PR_SWEEP_DELAY_MS 1000   /* from a view's end to closing its clients (the BYE goes first) */

struct _VXQ_S_GWRTSP_DATA {
    GstRTSPServer *pServer = nullptr;
    guint uListenId = 0;
    guint uCleanupId = 0;
    int iPort = 0;
    _VXQ_S_GWVIEW_GATEWAY *pGw = nullptr;
    std::atomic<int> iClients{0};
};

/* The server whose clients a sweep closes; set while it runs. */
static _VXQ_S_GWRTSP_DATA *s_pRtsp = nullptr;
static std::atomic<int> s_bSweepDue{0};
static std::atomic<int> s_iSinks{0};

/* One RTSP client's pipeline as a sink of a device view. Made when the media
 * is configured, detached when it is unprepared, freed when it is finalized. */
typedef struct PR_SINK {
    GstElement *pVideo = nullptr;   /* owned references */
    GstElement *pAudio = nullptr;   /* null: the pipeline has no audio */
    GstRTSPMedia *pMedia = nullptr; /* not owned: the sink never outlives it */
    _VXQ_S_GWVIEW_VIEW *pView = nullptr;
    std::string sPath;
    int iAudio = VXQ_GW_AUDIO_NONE;
    int bStarted = 0; /* an I-frame went in */
    int bEnded = 0;
    uint32_t dwMoves = 0;
    std::atomic<int> bDetached{0};
    _VXQ_S_GWTIME_MAP tMap;
} PR_SINK;

/* ---- the sink callbacks (view thread, view locked) ---- */

/* The running time of the client's pipeline: 0 until it plays (before that
 * its clock may be set while its base time is not, and the clock's own time
 * is no running time). */
static uint64_t PR_RunningTime(const PR_SINK *in_pSink)
{
    if (GST_STATE(in_pSink->pVideo) != GST_STATE_PLAYING)
        return 0;
    GstClockTime tNow = gst_element_get_current_running_time(in_pSink->pVideo);
    return GST_CLOCK_TIME_IS_VALID(tNow) ? (uint64_t)tNow : 0;
}

static void PR_FreeData(gpointer in_pHold)
{
    delete (std::shared_ptr<const std::vector<uint8_t>> *)in_pHold;
}

static void PR_SinkFrame(void *in_pSink, const _VXQ_S_GWVIEW_FRAME *in_ptFrame)
{
    PR_SINK *pSink = (PR_SINK *)in_pSink;
    if (pSink->bEnded)
        return;
    GstElement *pSrc = pSink->pVideo;
    uint64_t qwNow = PR_RunningTime(pSink);
    if (in_ptFrame->bVideo) {
        if (!pSink->bStarted) {
            if (!in_ptFrame->bIFrame)
                return; /* a client starts at an I-frame */
            pSink->bStarted = 1;
            VXQ_F_GWTIME_Anchor(&pSink->tMap, in_ptFrame->dwStamp, in_ptFrame->dwNewestStamp, qwNow);
        }
    } else {
        if (!pSink->bStarted || pSink->pAudio == nullptr || in_ptFrame->iAudio != pSink->iAudio)
            return;
        pSrc = pSink->pAudio;
    }
    int bMoved = 0;
    int iTrack = in_ptFrame->bVideo ? VXQ_GWTIME_VIDEO : VXQ_GWTIME_AUDIO;
    uint32_t dwLastStamp = pSink->tMap.tTrack[iTrack].dwLastStamp;
    uint64_t qwPts =
        VXQ_F_GWTIME_Map(&pSink->tMap, iTrack, in_ptFrame->dwStamp, qwNow, in_ptFrame->dwNominalMs, &bMoved);
    if (bMoved && (++pSink->dwMoves <= 3 || pSink->dwMoves % 100 == 0))
        VXQ_F_GWVIEW_Say(
            "%s: %s time stamp %u after %u, running time %llu ms: a client's time line moved (%u so far)",
            pSink->sPath.c_str(), in_ptFrame->bVideo ? "video" : "audio", in_ptFrame->dwStamp, dwLastStamp,
            (unsigned long long)(qwNow / VXQ_GWTIME_NS_PER_MS), pSink->dwMoves);
    const std::vector<uint8_t> &tData = *in_ptFrame->tData;
    GstBuffer *pBuf = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, (gpointer)tData.data(), tData.size(), 0, tData.size(),
        new std::shared_ptr<const std::vector<uint8_t>>(in_ptFrame->tData), PR_FreeData);
    GST_BUFFER_PTS(pBuf) = qwPts;
    GST_BUFFER_DTS(pBuf) = qwPts;
    GST_BUFFER_DURATION(pBuf) = (GstClockTime)in_ptFrame->dwNominalMs * GST_MSECOND;
    if (in_ptFrame->bVideo && !in_ptFrame->bIFrame)
        GST_BUFFER_FLAG_SET(pBuf, GST_BUFFER_FLAG_DELTA_UNIT);
    gst_app_src_push_buffer(GST_APP_SRC(pSrc), pBuf);
}

static gboolean PR_Sweep(gpointer);

static void PR_SinkEnd(void *in_pSink)
{
    PR_SINK *pSink = (PR_SINK *)in_pSink;
    if (pSink->bEnded)
        return;
    pSink->bEnded = 1;
    /* End of stream: the RTP sessions send BYE, so players see the end. */
    gst_app_src_end_of_stream(GST_APP_SRC(pSink->pVideo));
    if (pSink->pAudio)
        gst_app_src_end_of_stream(GST_APP_SRC(pSink->pAudio));
    g_object_set_data(G_OBJECT(pSink->pMedia), "vxq-gw-ended", GINT_TO_POINTER(1));
    if (!s_bSweepDue.exchange(1))
        g_timeout_add(PR_SWEEP_DELAY_MS, PR_Sweep, nullptr);
}

static const _VXQ_S_GWVIEW_SINKOPS s_tSinkOps = {PR_SinkFrame, PR_SinkEnd};

const _VXQ_S_GWVIEW_SINKOPS *VXQ_F_GWRTSP_SinkOps(void)
{
    return &s_tSinkOps;
}

/* ---- closing the clients of ended views (main context) ---- */

static GstRTSPFilterResult PR_EndedMedia(GstRTSPSession *, GstRTSPSessionMedia *in_pSessMedia,
                                         gpointer in_pEnded)
{
    GstRTSPMedia *pMedia = gst_rtsp_session_media_get_media(in_pSessMedia);
    if (pMedia != nullptr && g_object_get_data(G_OBJECT(pMedia), "vxq-gw-ended"))
        *(int *)in_pEnded = 1;
    return GST_RTSP_FILTER_KEEP;
}

static GstRTSPFilterResult PR_EndedSession(GstRTSPClient *, GstRTSPSession *in_pSession, gpointer in_pEnded)
{
    gst_rtsp_session_filter(in_pSession, PR_EndedMedia, in_pEnded);
    return GST_RTSP_FILTER_KEEP;
}

static GstRTSPFilterResult PR_EndedClient(GstRTSPServer *, GstRTSPClient *in_pClient, gpointer)
{
    int bEnded = 0;
    gst_rtsp_client_session_filter(in_pClient, PR_EndedSession, &bEnded);
    return bEnded ? GST_RTSP_FILTER_REMOVE : GST_RTSP_FILTER_KEEP;
}

static gboolean PR_Sweep(gpointer)
{
    s_bSweepDue = 0;
    if (s_pRtsp != nullptr)
        gst_rtsp_server_client_filter(s_pRtsp->pServer, PR_EndedClient, nullptr);
    return G_SOURCE_REMOVE;
}

/* ---- the media factory of one path ---- */

typedef struct PR_Factory {
    GstRTSPMediaFactory tParent;
    _VXQ_S_GWVIEW_GATEWAY *pGw;
    int iDev;
    int iCh;
    int iStream;
    char sPath[96];
} PR_Factory;

typedef struct PR_FactoryClass {
    GstRTSPMediaFactoryClass tParentClass;
} PR_FactoryClass;

G_DEFINE_TYPE(PR_Factory, vxq_gw_factory, GST_TYPE_RTSP_MEDIA_FACTORY)

/* The pipeline description of a client: H.264 in access units from the
 * device, parsed (the parameter sets reach the SDP) and packed for RTP;
 * G.711 packed as it comes. */
static std::string PR_Launch(const _VXQ_S_GWVIEW_INFO *in_ptInfo)
{
    std::string sCaps = "video/x-h264,stream-format=byte-stream,alignment=au";
    if (in_ptInfo->dwFrameRate > 0)
        sCaps += ",framerate=" + std::to_string(in_ptInfo->dwFrameRate) + "/1";
    std::string sLaunch = "appsrc name=vsrc is-live=true format=time do-timestamp=false max-bytes=16777216 "
                          "leaky-type=downstream caps=\"" +
                          sCaps + "\" ! h264parse ! rtph264pay name=pay0 pt=96 config-interval=-1";
    if (in_ptInfo->iAudio != VXQ_GW_AUDIO_NONE) {
        int bMu = in_ptInfo->iAudio == VXQ_GW_AUDIO_PCMU;
        sLaunch +=
            std::string(" appsrc name=asrc is-live=true format=time do-timestamp=false max-bytes=1048576 "
                        "leaky-type=downstream caps=\"") +
            (bMu ? "audio/x-mulaw" : "audio/x-alaw") + ",rate=" + std::to_string(in_ptInfo->dwAudioRate) +
            ",channels=1\" ! " + (bMu ? "rtppcmupay name=pay1 pt=0" : "rtppcmapay name=pay1 pt=8");
    }
    return sLaunch;
}

static GstElement *PR_CreateElement(GstRTSPMediaFactory *in_pFactory, const GstRTSPUrl *)
{
    PR_Factory *pFactory = (PR_Factory *)in_pFactory;
    _VXQ_S_GWVIEW_INFO tInfo;
    if (VXQ_F_GWVIEW_Acquire(pFactory->pGw, pFactory->iDev, pFactory->iCh, pFactory->iStream,
                             "an RTSP client", &tInfo) != VXQ_GWVIEW_OK)
        return nullptr;
    GError *pError = nullptr;
    GstElement *pBin =
        gst_parse_launch_full(PR_Launch(&tInfo).c_str(), nullptr, GST_PARSE_FLAG_PLACE_IN_BIN, &pError);
    if (pError != nullptr) {
        VXQ_F_GWVIEW_Say("%s: cannot make the pipeline: %s", pFactory->sPath, pError->message);
        g_clear_error(&pError);
        if (pBin)
            gst_object_unref(pBin);
        return nullptr;
    }
    g_object_set_data(G_OBJECT(pBin), "vxq-gw-audio", GINT_TO_POINTER(tInfo.iAudio));
    return pBin;
}

static void vxq_gw_factory_class_init(PR_FactoryClass *in_pClass)
{
    GST_RTSP_MEDIA_FACTORY_CLASS(in_pClass)->create_element = PR_CreateElement;
}

static void vxq_gw_factory_init(PR_Factory *) {}

/* ---- sinks and media life ---- */

static void PR_SinkDetach(PR_SINK *inout_pSink)
{
    if (!inout_pSink->bDetached.exchange(1))
        VXQ_F_GWVIEW_Detach(inout_pSink->pView, inout_pSink);
}

static void PR_OnUnprepared(GstRTSPMedia *, gpointer in_pSink)
{
    PR_SinkDetach((PR_SINK *)in_pSink);
}

static void PR_OnMediaGone(gpointer in_pSink, GObject *)
{
    PR_SINK *pSink = (PR_SINK *)in_pSink;
    PR_SinkDetach(pSink);
    gst_object_unref(pSink->pVideo);
    if (pSink->pAudio)
        gst_object_unref(pSink->pAudio);
    delete pSink;
    s_iSinks--;
}

static void PR_OnMediaConfigure(GstRTSPMediaFactory *in_pFactory, GstRTSPMedia *in_pMedia, gpointer)
{
    PR_Factory *pFactory = (PR_Factory *)in_pFactory;
    GstElement *pBin = gst_rtsp_media_get_element(in_pMedia);
    GstElement *pVideo = pBin ? gst_bin_get_by_name(GST_BIN(pBin), "vsrc") : nullptr;
    if (pVideo == nullptr) {
        if (pBin)
            gst_object_unref(pBin);
        return;
    }
    PR_SINK *pSink = new PR_SINK();
    VXQ_F_GWTIME_Init(&pSink->tMap);
    pSink->pVideo = pVideo;
    pSink->pAudio = gst_bin_get_by_name(GST_BIN(pBin), "asrc");
    pSink->iAudio = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(pBin), "vxq-gw-audio"));
    pSink->pMedia = in_pMedia;
    pSink->sPath = pFactory->sPath;
    gst_object_unref(pBin);
    s_iSinks++;
    g_signal_connect(in_pMedia, "unprepared", G_CALLBACK(PR_OnUnprepared), pSink);
    g_object_weak_ref(G_OBJECT(in_pMedia), PR_OnMediaGone, pSink);
    pSink->pView =
        VXQ_F_GWVIEW_Attach(pFactory->pGw, pFactory->iDev, pFactory->iCh, pFactory->iStream, pSink);
    if (pSink->pView == nullptr)
        PR_SinkEnd(pSink); /* the view closed meanwhile: the client gets the end at once */
}

/* ---- clients ---- */

static std::string PR_ClientAddress(GstRTSPClient *in_pClient)
{
    GstRTSPConnection *pConn = gst_rtsp_client_get_connection(in_pClient);
    const char *sIp = pConn ? gst_rtsp_connection_get_ip(pConn) : nullptr;
    return sIp ? sIp : "?";
}

/* Before the media is made: the device's refusal becomes the RTSP answer. */
static GstRTSPStatusCode PR_OnPreDescribe(GstRTSPClient *in_pClient, GstRTSPContext *in_pCtx,
                                          gpointer in_pRtsp)
{
    _VXQ_S_GWRTSP_DATA *pRtsp = (_VXQ_S_GWRTSP_DATA *)in_pRtsp;
    const char *sPath = in_pCtx->uri && in_pCtx->uri->abspath ? in_pCtx->uri->abspath : "";
    std::string sWho = PR_ClientAddress(in_pClient);
    std::string sDevice;
    int iCh = 0;
    int iStream = 0;
    int iDev = -1;
    if (VXQ_F_GWVIEW_ParsePath(sPath, &sDevice, &iCh, &iStream))
        iDev = VXQ_F_GWVIEW_FindDevice(pRtsp->pGw, sDevice);
    int iStatus = VXQ_GWVIEW_NOT_FOUND;
    _VXQ_S_GWVIEW_INFO tInfo;
    if (iDev >= 0)
        iStatus = VXQ_F_GWVIEW_Acquire(pRtsp->pGw, iDev, iCh, iStream, sWho, &tInfo);
    if (iStatus != VXQ_GWVIEW_OK)
        VXQ_F_GWVIEW_Say("rtsp: DESCRIBE %s from %s: %d %s", sPath, sWho.c_str(), iStatus,
                         gst_rtsp_status_as_text((GstRTSPStatusCode)iStatus));
    return (GstRTSPStatusCode)iStatus;
}

static void PR_OnClientClosed(GstRTSPClient *, gpointer in_pRtsp)
{
    ((_VXQ_S_GWRTSP_DATA *)in_pRtsp)->iClients--;
}

static void PR_OnClientConnected(GstRTSPServer *, GstRTSPClient *in_pClient, gpointer in_pRtsp)
{
    ((_VXQ_S_GWRTSP_DATA *)in_pRtsp)->iClients++;
    g_signal_connect(in_pClient, "closed", G_CALLBACK(PR_OnClientClosed), in_pRtsp);
    g_signal_connect(in_pClient, "pre-describe-request", G_CALLBACK(PR_OnPreDescribe), in_pRtsp);
}

/* Sessions whose players vanished without a TEARDOWN time out here. */
static gboolean PR_Cleanup(gpointer in_pRtsp)
{
    GstRTSPSessionPool *pPool = gst_rtsp_server_get_session_pool(((_VXQ_S_GWRTSP_DATA *)in_pRtsp)->pServer);
    gst_rtsp_session_pool_cleanup(pPool);
    g_object_unref(pPool);
    return G_SOURCE_CONTINUE;
}

_VXQ_S_GWRTSP_DATA *VXQ_F_GWRTSP_Start(_VXQ_S_GWVIEW_GATEWAY *in_ptGw, const _VXQ_S_GWCONF_DATA *in_ptConf,
                                       std::string *out_psError)
{
    _VXQ_S_GWRTSP_DATA *pRtsp = new _VXQ_S_GWRTSP_DATA();
    pRtsp->pGw = in_ptGw;
    pRtsp->pServer = gst_rtsp_server_new();
    gst_rtsp_server_set_service(pRtsp->pServer, std::to_string(in_ptConf->iListenPort).c_str());
    if (!in_ptConf->sBind.empty())
        gst_rtsp_server_set_address(pRtsp->pServer, in_ptConf->sBind.c_str());
    GstRTSPThreadPool *pPool = gst_rtsp_server_get_thread_pool(pRtsp->pServer);
    gst_rtsp_thread_pool_set_max_threads(pPool, PR_MAX_CLIENT_THREADS);
    g_object_unref(pPool);
    GstRTSPMountPoints *pMounts = gst_rtsp_server_get_mount_points(pRtsp->pServer);
    for (size_t iDev = 0; iDev < in_ptConf->tDevices.size(); iDev++)
        for (int iCh = 0; iCh < VXQ_GWVIEW_CHANNELS; iCh++)
            for (int iStream = 0; iStream < VXQ_GWVIEW_STREAMS; iStream++) {
                PR_Factory *pFactory = (PR_Factory *)g_object_new(vxq_gw_factory_get_type(), nullptr);
                pFactory->pGw = in_ptGw;
                pFactory->iDev = (int)iDev;
                pFactory->iCh = iCh;
                pFactory->iStream = iStream;
                std::string sPath = VXQ_F_GWVIEW_PathOf(in_ptConf->tDevices[iDev].sName, iCh, iStream);
                snprintf(pFactory->sPath, sizeof(pFactory->sPath), "%s", sPath.c_str());
                gst_rtsp_media_factory_set_shared(GST_RTSP_MEDIA_FACTORY(pFactory), FALSE);
                g_signal_connect(pFactory, "media-configure", G_CALLBACK(PR_OnMediaConfigure), nullptr);
                gst_rtsp_mount_points_add_factory(pMounts, ("/" + sPath).c_str(),
                                                  GST_RTSP_MEDIA_FACTORY(pFactory));
            }
    g_object_unref(pMounts);
    g_signal_connect(pRtsp->pServer, "client-connected", G_CALLBACK(PR_OnClientConnected), pRtsp);
    GError *pError = nullptr;
    GSource *pSource = gst_rtsp_server_create_source(pRtsp->pServer, nullptr, &pError);
    if (pSource == nullptr) {
        *out_psError = "cannot listen on " +
                       (in_ptConf->sBind.empty() ? std::string("TCP port ") : in_ptConf->sBind + " port ") +
                       std::to_string(in_ptConf->iListenPort) + ": " +
                       (pError ? pError->message : "unknown failure");
        g_clear_error(&pError);
        g_object_unref(pRtsp->pServer);
        delete pRtsp;
        return nullptr;
    }
    pRtsp->uListenId = g_source_attach(pSource, nullptr);
    g_source_unref(pSource);
    pRtsp->iPort = gst_rtsp_server_get_bound_port(pRtsp->pServer);
    pRtsp->uCleanupId = g_timeout_add_seconds(2, PR_Cleanup, pRtsp);
    s_pRtsp = pRtsp;
    return pRtsp;
}

int VXQ_F_GWRTSP_Port(const _VXQ_S_GWRTSP_DATA *in_ptRtsp)
{
    return in_ptRtsp->iPort;
}

int VXQ_F_GWRTSP_Clients(const _VXQ_S_GWRTSP_DATA *in_ptRtsp)
{
    return in_ptRtsp->iClients;
}

static GstRTSPFilterResult PR_AnyClient(GstRTSPServer *, GstRTSPClient *, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

int VXQ_F_GWRTSP_Stop(_VXQ_S_GWRTSP_DATA *in_ptRtsp)
{
    if (in_ptRtsp == nullptr)
        return 0;
    s_pRtsp = nullptr;
    g_source_remove(in_ptRtsp->uListenId);
    g_source_remove(in_ptRtsp->uCleanupId);
    gst_rtsp_server_client_filter(in_ptRtsp->pServer, PR_AnyClient, nullptr);
    g_object_unref(in_ptRtsp->pServer);
    gst_rtsp_thread_pool_cleanup();
    /* Medias go away as their last holders let go; their sinks with them. */
    for (int i = 0; i < 200 && s_iSinks > 0; i++) {
        while (g_main_context_iteration(nullptr, FALSE))
            ;
        g_usleep(10000);
    }
    delete in_ptRtsp;
    return s_iSinks;
}
