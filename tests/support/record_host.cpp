/* record_host.cpp - the recordings of the test host and its answers to the record events. */
#include "support/test_host.h"

#include <stdio.h>
#include <string.h>

void VXQ_F_RECHOST_AddFile(_VXQ_S_TESTHOST_DATA *inout_pRec, const std::string &in_sFlag, int32_t in_iChNo,
                           size_t in_iSize, uint32_t in_dwSeed)
{
    _VXQ_S_RECHOST_FILE tFile;
    tFile.sFlag = in_sFlag;
    tFile.iChNo = in_iChNo;
    tFile.tData.resize(in_iSize);
    uint32_t dwState = in_dwSeed ? in_dwSeed : 1;
    for (size_t i = 0; i < in_iSize; i++) {
        dwState ^= dwState << 13; /* xorshift32 */
        dwState ^= dwState >> 17;
        dwState ^= dwState << 5;
        tFile.tData[i] = (uint8_t)(dwState >> 24);
    }
    std::lock_guard<std::mutex> tGuard(inout_pRec->tLock);
    inout_pRec->tFiles.push_back(tFile);
}

/* The record of a file (what the tests read back: flag and size, in an hour of its own); the caller holds the lock. */
static _VXQ_S_DPS_FILE_INFO PR_FileInfo(const _VXQ_S_RECHOST_FILE &in_tFile, size_t in_iFile)
{
    _VXQ_S_DPS_FILE_INFO tInfo;
    memset(&tInfo, 0, sizeof(tInfo));
    snprintf(tInfo.sFileFlag, sizeof(tInfo.sFileFlag), "%s", in_tFile.sFlag.c_str());
    tInfo.iFileType = 1;
    tInfo.tStartTime.usYear = 2026;
    tInfo.tStartTime.usMonth = 12;
    tInfo.tStartTime.ucDay = 6;
    tInfo.tStartTime.ucHour = (uint8_t)in_iFile;
    tInfo.tEndTime = tInfo.tStartTime;
    tInfo.tEndTime.ucMinute = 59;
    tInfo.dwFileSize = (uint32_t)in_tFile.tData.size();
    return tInfo;
}

/* An order answering in_tEvent: its id and transaction id, the body given. */
static std::vector<uint8_t> PR_Order(const std::vector<uint8_t> &in_tEvent, uint8_t in_ucErr,
                                     const void *in_pBody, size_t in_iBodyLen)
{
    return VXQ_F_TESTHOST_BuildOrder(VXQ_F_TESTHOST_MsgFuncId(in_tEvent), in_ucErr,
                                     VXQ_F_TESTHOST_TransId(in_tEvent), in_pBody, (int32_t)in_iBodyLen);
}

/* The answers to one event (built under the lock, posted after it). */
std::vector<Bytes> VXQ_F_RECHOST_Answer(_VXQ_S_TESTHOST_DATA *inout_pRec, const Bytes &in_tEvent)
{
    std::vector<std::vector<uint8_t>> tOrders;
    if (in_tEvent.size() < 16)
        return tOrders;
    const int32_t iId = VXQ_F_TESTHOST_MsgFuncId(in_tEvent);
    std::vector<uint8_t> tBody(in_tEvent.begin() + 16, in_tEvent.end());
    std::lock_guard<std::mutex> tGuard(inout_pRec->tLock);
    if (inout_pRec->tFiles.empty())
        return tOrders;
    uint8_t ucErr = 0; /* the answer, unless a case posts its own: the body as changed below */
    switch (iId) {
    case EVENT_E2_FILE_OPEN: {
        ucErr = VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST;
        for (size_t i = 0; i < inout_pRec->tFiles.size(); i++) {
            if (strncmp((const char *)tBody.data(), inout_pRec->tFiles[i].sFlag.c_str(), 128) != 0)
                continue;
            uint32_t dwReadId = inout_pRec->dwNextReadId++;
            inout_pRec->tOpen[dwReadId] = {i, 0};
            _VXQ_S_DPS_FILE_INFO tInfo = PR_FileInfo(inout_pRec->tFiles[i], i);
            memcpy(tBody.data() + 136, &dwReadId, 4);
            memcpy(tBody.data() + 140, &tInfo, sizeof(tInfo));
            ucErr = 0;
            break;
        }
        break;
    }
    case EVENT_E2_FILE_READ: {
        _VXQ_S_DPS_E2_FILE_READ tRead;
        memcpy(&tRead, tBody.data(), sizeof(tRead));
        auto tIt = inout_pRec->tOpen.find(tRead.i_dwFileReadId);
        if (tIt == inout_pRec->tOpen.end()) {
            tRead.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(0, 2);
            tOrders.push_back(PR_Order(in_tEvent, VXQ_DPS_APP_ERR_FILE_OPERATION, &tRead, sizeof(tRead)));
            return tOrders;
        }
        const std::vector<uint8_t> &tData = inout_pRec->tFiles[tIt->second.iFile].tData;
        size_t iPos = tIt->second.iPos;
        size_t iLen = std::min((size_t)65536, tData.size() - iPos);
        bool bEof = iPos + iLen >= tData.size();
        const int32_t iParts = 3;
        for (int32_t i = 0; i < iParts; i++) {
            size_t iFrom = iPos + iLen * (size_t)i / (size_t)iParts;
            size_t iTo = iPos + iLen * (size_t)(i + 1) / (size_t)iParts;
            bool bLast = i == iParts - 1;
            tRead.o_ucRetDataType = 1;
            tRead.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(i + 1, bLast ? (bEof ? 1 : 2) : 0);
            tRead.o_ucMediaCodecId = 0x1B;
            tRead.o_ucVideoFrameRate = 25;
            tRead.o_dwOffsetDataPos = (uint32_t)iFrom;
            tRead.o_dwOffsetTimePos = (uint32_t)(iFrom / 1000);
            tRead.o_tDataTime.usYear = 2026;
            tRead.o_tDataTime.usMonth = 12;
            tRead.o_tDataTime.ucDay = 6;
            tRead.o_dwDataLen = (uint32_t)(iTo - iFrom);
            std::vector<uint8_t> tPart((const uint8_t *)&tRead, (const uint8_t *)&tRead + sizeof(tRead));
            tPart.insert(tPart.end(), tData.begin() + (long)iFrom, tData.begin() + (long)iTo);
            tOrders.push_back(PR_Order(in_tEvent, 0, tPart.data(), tPart.size()));
        }
        tIt->second.iPos = iPos + iLen;
        return tOrders;
    }
    case EVENT_E2_FILE_CLOSE: {
        uint32_t dwReadId;
        memcpy(&dwReadId, tBody.data(), 4);
        inout_pRec->tOpen.erase(dwReadId);
        break;
    }
    default:
        return tOrders;
    }
    tOrders.push_back(PR_Order(in_tEvent, ucErr, tBody.data(), tBody.size()));
    return tOrders;
}
