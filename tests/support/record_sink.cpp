/* Upward record collection for network engine tests. */
#include "support/record_sink.h"
#include "support/time_scale.h"

#include <chrono>
#include <string.h>

NetRecord ParseRecord(const char *in_pRecord, int32_t in_iRecordLen)
{
    NetRecord tRecord;
    memset(&tRecord.tHead, 0, sizeof(tRecord.tHead));
    tRecord.sRaw.assign(in_pRecord, (size_t)in_iRecordLen);
    if (in_iRecordLen >= (int32_t)sizeof(tRecord.tHead)) {
        memcpy(&tRecord.tHead, in_pRecord, sizeof(tRecord.tHead));
        tRecord.sData.assign(in_pRecord + sizeof(tRecord.tHead), (size_t)in_iRecordLen - sizeof(tRecord.tHead));
    }
    return tRecord;
}

int RecordSink::Callback(void *in_pUser, const char *in_pRecord, int32_t in_iRecordLen)
{
    RecordSink *pSink = (RecordSink *)in_pUser;
    std::lock_guard<std::mutex> tGuard(pSink->m_tLock);
    if (!pSink->m_bAccept)
        return 0;
    pSink->m_tRecords.push_back(ParseRecord(in_pRecord, in_iRecordLen));
    return 1;
}

std::vector<NetRecord> RecordSink::All()
{
    std::lock_guard<std::mutex> tGuard(m_tLock);
    return m_tRecords;
}

std::vector<NetRecord> RecordSink::Of(int32_t in_iEventType, uint32_t in_dwPortId)
{
    std::lock_guard<std::mutex> tGuard(m_tLock);
    std::vector<NetRecord> tOut;
    for (const NetRecord &tRecord : m_tRecords)
        if (tRecord.tHead.iEventType == in_iEventType && (in_dwPortId == 0 || tRecord.tHead.dwPortId == in_dwPortId))
            tOut.push_back(tRecord);
    return tOut;
}

size_t RecordSink::Count(int32_t in_iEventType, uint32_t in_dwPortId)
{
    return Of(in_iEventType, in_dwPortId).size();
}

void RecordSink::Clear()
{
    std::lock_guard<std::mutex> tGuard(m_tLock);
    m_tRecords.clear();
}

void RecordSink::SetAccept(int in_bAccept)
{
    std::lock_guard<std::mutex> tGuard(m_tLock);
    m_bAccept = in_bAccept;
}

/* Its own loop, not WaitUntil: an engine pass is the pacing, a sleep between passes would only slow it. */
bool Pump(VXQ_HNETSRV in_hNetSrv, const std::function<bool()> &in_fnDone, int in_iTimeoutMs)
{
    auto tDeadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
    while (!in_fnDone() && std::chrono::steady_clock::now() < tDeadline)
        VXQ_F_NETCOM_DoNetEvent(in_hNetSrv, 5);
    return in_fnDone();
}
