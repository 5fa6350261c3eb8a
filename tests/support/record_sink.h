/*
 * record_sink.h - collects a network engine's upward records (copied under the
 * sink's lock, so the engine may run on its own thread); Pump drives an engine without a thread.
 */
#ifndef VXQ_TEST_RECORD_SINK_H
#define VXQ_TEST_RECORD_SINK_H

#include "vxq_netcom.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct NetRecord {
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    std::string sRaw;  /* the whole record as delivered */
    std::string sData; /* the bytes after the head */
};

class RecordSink {
public:
    static int Callback(void *in_pUser, const char *in_pRecord, int32_t in_iRecordLen);

    std::vector<NetRecord> All();
    /* Records of one event type (and port id, when nonzero). */
    std::vector<NetRecord> Of(int32_t in_iEventType, uint32_t in_dwPortId = 0);
    size_t Count(int32_t in_iEventType, uint32_t in_dwPortId = 0);
    void Clear();
    /* The sink's answer to the engine: 1 takes the record, 0 refuses it. */
    void SetAccept(int in_bAccept);

private:
    std::mutex m_tLock;
    std::vector<NetRecord> m_tRecords;
    int m_bAccept = 1;
};

/* Runs passes of an engine without a thread (5 ms wait each) until in_fnDone
 * holds or in_iTimeoutMs pass; returns in_fnDone(). */
bool Pump(VXQ_HNETSRV in_hNetSrv, const std::function<bool()> &in_fnDone, int in_iTimeoutMs = 5000);

/* Parses a raw record. */
NetRecord ParseRecord(const char *in_pRecord, int32_t in_iRecordLen);

#endif
