/*
 * record_host.h - a test host's recordings: as the test host's event hook it
 * answers file queries, opens (by flag, or the first file of a channel by
 * time), reads (the next piece of the file split over several orders, data-end
 * 0 on all but the last), close, seek, video parameters, I-frames only and
 * recover. Event ids in tManual are left to the test. The hook runs on the
 * callback thread; tLock guards every field below pHost. File contents are
 * pseudo-random bytes of a seed.
 */
#ifndef VXQ_TEST_RECORD_HOST_H
#define VXQ_TEST_RECORD_HOST_H

#include "support/test_host.h"

#include <stdint.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

typedef struct _VXQ_S_RECHOST_FILE {
    std::string sFlag; /* what a client opens it by */
    int32_t iChNo;
    std::vector<uint8_t> tData; /* the file's bytes */
} _VXQ_S_RECHOST_FILE;

typedef struct _VXQ_S_RECHOST_OPEN {
    size_t iFile; /* index in tFiles */
    size_t iPos;  /* the next byte to read */
} _VXQ_S_RECHOST_OPEN;

typedef struct _VXQ_S_RECHOST_DATA {
    _VXQ_S_TESTHOST_DATA *pHost = nullptr;
    std::mutex tLock;
    std::vector<_VXQ_S_RECHOST_FILE> tFiles;
    std::map<uint32_t, _VXQ_S_RECHOST_OPEN> tOpen; /* by read id */
    uint32_t dwNextReadId = 0x5000;
    int32_t iReadLen = 65536;   /* bytes answered per read request */
    int32_t iOrdersPerRead = 3; /* orders one read's bytes are split into */
    std::set<int32_t> tManual;  /* event ids the hook leaves unanswered */
    int iCloseTotal = 0;        /* EVENT_E2_FILE_CLOSE events seen */
} _VXQ_S_RECHOST_DATA;

/* Makes in_pRec the event hook of in_pHost (before the host starts); AddFile: in_iSize bytes of in_dwSeed. */
void VXQ_F_RECHOST_Install(_VXQ_S_RECHOST_DATA *inout_pRec, _VXQ_S_TESTHOST_DATA *inout_pHost);

void VXQ_F_RECHOST_AddFile(_VXQ_S_RECHOST_DATA *inout_pRec, const std::string &in_sFlag, int32_t in_iChNo,
                           size_t in_iSize, uint32_t in_dwSeed);

/* The 220-byte record (host order) the host reports for file in_iFile. */
_VXQ_S_DPS_FILE_INFO VXQ_F_RECHOST_FileInfo(_VXQ_S_RECHOST_DATA *inout_pRec, size_t in_iFile);

/* Lowercase hexadecimal MD5 of a byte block. */
std::string VXQ_F_RECHOST_Md5Hex(const uint8_t *in_pData, size_t in_iLen);

#endif
