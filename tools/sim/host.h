/*
 * host.h - the simulator's host application: the state shared by its families
 * (live view, records, talk and alarms, configuration and users, serial port
 * and maintenance) and the functions through which main.cpp drives them.
 *
 * Owns _VXQ_S_SIMHOST_DATA: main allocates it (it is large), VXQ_F_SIMHOST_Init
 * fills it from a loaded configuration and VXQ_F_SIMHOST_Uninit frees what it
 * made. The service's callback thread only copies events into hEventQueue
 * (VXQ_F_SIMHOST_EventCallback never blocks); one worker thread takes them out
 * and runs the family handlers, which answer with VXQ_F_DPS_SendDevProData.
 * Feeder threads (one per open sub-channel) and the alarm thread only call the
 * service's input functions. The user lookup runs on the service's control
 * thread and shares hCfgLock with the worker, which alone changes the users.
 *
 * Invariants: hService is set before the worker starts and cleared only after
 * the worker, the feeders and the alarm thread have ended; no thread of the
 * simulator touches the service handle after VXQ_F_DPS_StopDevProNetServer.
 */
#ifndef VXQ_SIM_HOST_H
#define VXQ_SIM_HOST_H

#include <stdint.h>
#include <stdio.h>

#include <atomic>

#include "g711.h"
#include "h264src.h"
#include "simconfig.h"
#include "vxq_dps.h"
#include "vxq_queue.h"
#include "vxq_thread.h"

/* Channel slots the service knows: 0..63 and 64 for channel number 10000. */
#define VXQ_SIMHOST_CH_SLOTS 65
/* Events waiting for the worker; a burst beyond this is dropped (and counted). */
#define VXQ_SIMHOST_EVENT_QUEUE_LEN 2000
/* Recordings the index can hold, and files open for download at once. */
#define VXQ_SIMHOST_MAX_RECORD 256
#define VXQ_SIMHOST_MAX_OPEN_FILE 32
/* Talks at once (one per talk channel slot). */
#define VXQ_SIMHOST_MAX_TALK VXQ_SIMHOST_CH_SLOTS

struct _VXQ_S_SIMHOST_DATA;

/* One live view feeder: the thread that sends one sub-channel's frames. */
typedef struct _VXQ_S_SIMHOST_FEEDER {
    struct _VXQ_S_SIMHOST_DATA *pHost;
    int32_t iChNo;              /* channel number as the service named it (10000 included) */
    int32_t iCfgCh;             /* the configured channel whose streams it plays */
    int32_t iStreamNo;
    std::atomic<int32_t> bRun;  /* cleared to make the thread return */
    VXQ_HTHREAD hThread;        /* null when the sub-channel is closed (worker thread only) */
    std::atomic<int32_t> bOpen; /* set while a feeder runs: what the status line reads */
} _VXQ_S_SIMHOST_FEEDER;

/* One recording of the index. */
typedef struct _VXQ_S_SIMHOST_RECORD {
    char sName[128];     /* file name inside the record folder; the file flag clients use */
    int32_t iChNo;
    int64_t llStartTime; /* calendar seconds of the first frame */
    int64_t llEndTime;   /* calendar seconds of the last frame */
} _VXQ_S_SIMHOST_RECORD;

/* One recording open for download. A free entry has dwReadId 0. */
typedef struct _VXQ_S_SIMHOST_OPEN_FILE {
    uint32_t dwReadId;
    int32_t iRecord;              /* index into tRecord */
    _VXQ_S_SIMH264_CLIP tClip;    /* the file in memory, split into frames */
    uint32_t dwNextAu;            /* the frame the next read starts with */
    int32_t bOnlyIFrame;
    int32_t iFrameRate;
} _VXQ_S_SIMHOST_OPEN_FILE;

/* One talk: the file the client's audio is appended to. */
typedef struct _VXQ_S_SIMHOST_TALK {
    FILE *pFile;        /* null: no talk on this slot */
    int32_t iTalkChNo;
    uint32_t dwBytes;
} _VXQ_S_SIMHOST_TALK;

typedef struct _VXQ_S_SIMHOST_DATA {
    _VXQ_S_SIMCFG_DATA *pCfg; /* owned by main; users change under hCfgLock */
    VXQ_HMUTEX hCfgLock;
    VXQ_DPS_HANDLE hService;
    int32_t bVerbose;

    /* callback thread -> worker */
    VXQ_HQUEUE hEventQueue;
    VXQ_HTHREAD hWorker;
    std::atomic<int32_t> bWorkerRun;
    std::atomic<int32_t> bStopRequested; /* a client asked the device to stop */

    /* live view: clips loaded once, shared read-only by the feeders */
    _VXQ_S_SIMH264_CLIP tClip[VXQ_SIM_MAX_CH][VXQ_SIM_MAX_STREAM];
    _VXQ_S_SIMHOST_FEEDER tFeeder[VXQ_SIMHOST_CH_SLOTS][VXQ_SIM_MAX_STREAM];
    uint32_t dwQualityLevel[VXQ_SIMHOST_CH_SLOTS][VXQ_SIM_MAX_STREAM];

    /* records */
    char sRecordIndex[VXQ_SIM_PATH_SIZE];
    int32_t iRecordNum;
    _VXQ_S_SIMHOST_RECORD tRecord[VXQ_SIMHOST_MAX_RECORD];
    _VXQ_S_SIMHOST_OPEN_FILE tOpenFile[VXQ_SIMHOST_MAX_OPEN_FILE];

    /* talk and alarms */
    _VXQ_S_SIMHOST_TALK tTalk[VXQ_SIMHOST_MAX_TALK];
    VXQ_HTHREAD hAlarmThread;
    std::atomic<int32_t> bAlarmRun;

    /* upgrade */
    FILE *pUpgradeFile;
    uint32_t dwUpgradeBytes;
    uint32_t dwUpgradeTotal; /* announced size, 0 when unknown */

    /* status counters, read by main's status line */
    std::atomic<uint32_t> dwLogins;
    std::atomic<uint64_t> qwMediaBytes;   /* frame bytes handed to the service */
    std::atomic<uint64_t> qwRecordBytes;  /* recording bytes answered to reads */
    std::atomic<uint32_t> dwDroppedEvents;
    std::atomic<uint32_t> dwRefusedFrames;
} _VXQ_S_SIMHOST_DATA;

/* ---- host_core.cpp: set-up, event hand-over, answers, log lines ---- */

/* Fills the host from the loaded configuration in_pCfg (kept, not copied): makes
 * the data folders, loads the clips, reads or seeds the record index, creates
 * the lock and the event queue. Returns 1, or 0 with a one-line reason in
 * out_sReason (in_iReasonSize bytes); everything made is freed again. */
int VXQ_F_SIMHOST_Init(_VXQ_S_SIMHOST_DATA *out_pHost, _VXQ_S_SIMCFG_DATA *in_pCfg, char *out_sReason,
                       int in_iReasonSize);

/* Frees what Init and the families made. Every thread must have ended. */
void VXQ_F_SIMHOST_Uninit(_VXQ_S_SIMHOST_DATA *inout_pHost);

/* The service's event callback: copies the event into the host's queue without
 * waiting (a full queue drops it and counts it). in_pEventUser is the host. */
int VXQ_F_SIMHOST_EventCallback(void *in_pEventUser, const void *in_pMsg, int in_iMsgLen);

/* The service's user lookup: fills the user record of a configured user under
 * hCfgLock. in_pQueryUser is the host. */
int VXQ_F_SIMHOST_QueryUser(void *in_pQueryUser, const char *in_sUserName, _VXQ_S_DPS_USER_INFO *out_ptUserInfo);

/* Hands one event (head and body, as the service raised it) to its family's
 * handler. The worker calls it for every queued event; a test or fuzz driver
 * may call it directly on one thread. */
void VXQ_F_SIMHOST_HandleEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const uint8_t *in_pMsg, int in_iMsgLen);

/* Starts / stops the worker thread that handles the queued events. Stop waits
 * for the event being handled and drops the rest. */
int VXQ_F_SIMHOST_StartWorker(_VXQ_S_SIMHOST_DATA *inout_pHost);
void VXQ_F_SIMHOST_StopWorker(_VXQ_S_SIMHOST_DATA *inout_pHost);

/* Posts the answer to in_pEvent: its id and transaction id, message type 1,
 * in_ucResult, then in_iBodyLen bytes of in_pBody and in_iExtraLen bytes of
 * in_pExtra (either may be null when its length is 0). Returns 1 when queued. */
int VXQ_F_SIMHOST_Answer(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, uint8_t in_ucResult,
                         const void *in_pBody, int in_iBodyLen, const void *in_pExtra, int in_iExtraLen);

/* Posts an order the host starts itself (message type 0, transaction id 0). */
int VXQ_F_SIMHOST_PostOrder(_VXQ_S_SIMHOST_DATA *in_pHost, int32_t in_iMsgFuncId, const void *in_pBody,
                            int in_iBodyLen, const void *in_pExtra, int in_iExtraLen);

/* Writes one line of the simulator's own ("dps-sim: " and the text) to the
 * console and the log file. Any thread. */
void VXQ_F_SIMHOST_Say(const char *in_sFormat, ...) __attribute__((format(printf, 1, 2)));

/* Makes a folder and its missing parents (mode 0775). 1 when it exists afterwards. */
int VXQ_F_SIMHOST_MakeDirs(const char *in_sPath);

/* Times are 64-bit calendar seconds: the library's 32-bit calendar functions
 * stop in January 2038, and a simulator run after it must still name and date
 * its files right. */

/* Calendar seconds now. The library's clock (the one a test may set) gives the
 * low 32 bits, the system calendar the rest: the nearest time to the system's
 * that has those low bits. */
int64_t VXQ_F_SIMHOST_NowSec(void);

/* The local date-time record of in_llTime. 1, or 0 (record zeroed) when the C
 * library cannot convert it. */
int VXQ_F_SIMHOST_TimeToTd(int64_t in_llTime, _VXQ_S_TD_DATE_TIME *out_pTd);

/* The calendar seconds of a local date-time record. 1 and the value, or 0. */
int VXQ_F_SIMHOST_TdToTime(const _VXQ_S_TD_DATE_TIME *in_pTd, int64_t *out_pllTime);

/* Local time of in_llTime as "YYYYmmdd-HHMMSS" (16 bytes with the zero). */
void VXQ_F_SIMHOST_StampText(int64_t in_llTime, char *out_sText, int in_iSize);

/* ---- host_live.cpp: live view, PTZ, forced I-frames, quality ---- */

/* Loads the clip of every configured channel and stream and sets the quality
 * levels from the configuration. 0 with a reason when a clip is unusable. */
int VXQ_F_SIMHOST_LiveInit(_VXQ_S_SIMHOST_DATA *inout_pHost, char *out_sReason, int in_iReasonSize);
/* Open-stream event: answers with the stream description (or a channel or
 * stream error) and starts the sub-channel's feeder thread. Worker thread. */
void VXQ_F_SIMHOST_LiveOpen(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                            const uint8_t *in_pBody, int in_iBodyLen);
/* Close-stream event: stops the sub-channel's feeder. Worker thread. */
void VXQ_F_SIMHOST_LiveClose(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                             const uint8_t *in_pBody, int in_iBodyLen);
/* PTZ and forced I-frame (logged; PTZ answered), quality capability and level
 * (answered from the configuration and the levels kept in memory). */
void VXQ_F_SIMHOST_LiveControl(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen);
/* Stops every feeder thread (shutdown). */
void VXQ_F_SIMHOST_LiveStopAll(_VXQ_S_SIMHOST_DATA *inout_pHost);
/* Frees the clips. */
void VXQ_F_SIMHOST_LiveUninit(_VXQ_S_SIMHOST_DATA *inout_pHost);
/* Writes the open sub-channels as "ch0:0+1 ch1:0" into out_sText; returns their number. */
int VXQ_F_SIMHOST_LiveDescribe(_VXQ_S_SIMHOST_DATA *in_pHost, char *out_sText, int in_iSize);

/* ---- host_record.cpp: record search and download ---- */

/* Reads the record index of the record folder, or seeds it from the clip of
 * the seed channel when it lists nothing. 0 with a reason when seeding fails. */
int VXQ_F_SIMHOST_RecordInit(_VXQ_S_SIMHOST_DATA *inout_pHost, char *out_sReason, int in_iReasonSize);
/* Record search, open (by file flag or time), read, seek, video parameters,
 * I-frames only, recover and close. Worker thread. */
void VXQ_F_SIMHOST_RecordEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen);
/* Closes every recording open for download. */
void VXQ_F_SIMHOST_RecordUninit(_VXQ_S_SIMHOST_DATA *inout_pHost);

/* ---- host_talk.cpp: voice talk, arming, periodic alarms ---- */

/* Talk start, stop and client audio; arming and disarming. Worker thread. */
void VXQ_F_SIMHOST_TalkEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                             const uint8_t *in_pBody, int in_iBodyLen);
/* Starts the alarm thread when the configuration asks for periodic alarms. */
int VXQ_F_SIMHOST_AlarmStart(_VXQ_S_SIMHOST_DATA *inout_pHost);
void VXQ_F_SIMHOST_AlarmStop(_VXQ_S_SIMHOST_DATA *inout_pHost);
/* Closes every talk file. */
void VXQ_F_SIMHOST_TalkUninit(_VXQ_S_SIMHOST_DATA *inout_pHost);

/* ---- host_config.cpp: configuration blocks, network address, users ---- */

/* Configuration blocks, network information and address, users and
 * passwords (written back to the INI file under hCfgLock). Worker thread. */
void VXQ_F_SIMHOST_ConfigEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen);

/* ---- host_maint.cpp: serial port, custom messages, maintenance, upgrade ---- */

/* Serial port (loopback), custom messages (echoed), ability, version, upgrade,
 * reboot (logged) and stop (sets bStopRequested). Worker thread. */
void VXQ_F_SIMHOST_MaintEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                              const uint8_t *in_pBody, int in_iBodyLen);
/* Closes the upgrade file. */
void VXQ_F_SIMHOST_MaintUninit(_VXQ_S_SIMHOST_DATA *inout_pHost);

#endif /* VXQ_SIM_HOST_H */
