/*
 * record_host.h - a test host that holds recordings and plays the host's part
 * of record search and download.
 *
 * Sits on a test host (support/test_host.h) as its event hook: it answers file
 * queries with the records of its files, opens files by their flag (or the
 * first file of a channel by time), answers each read with the next piece of
 * the open file split over several orders (data-end 0 on all but the last),
 * and answers close, seek, video parameters, I-frames only and recover. Event
 * ids put into tManual are left unanswered, so a test can post its own orders.
 *
 * Threads: the hook runs on the service's callback thread; tLock guards every
 * field below the host pointer. Add files and set the switches before traffic.
 * The file contents are deterministic pseudo-random bytes of a seed.
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

/* One recording the host holds. */
typedef struct _VXQ_S_RECHOST_FILE {
    std::string sFlag; /* what a client opens it by */
    int32_t iChNo;
    std::vector<uint8_t> tData; /* the file's bytes */
} _VXQ_S_RECHOST_FILE;

/* An open file: its index in tFiles and the next byte to read. */
typedef struct _VXQ_S_RECHOST_OPEN {
    size_t iFile;
    size_t iPos;
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

/* Makes in_pRec the event hook of in_pHost (before the host starts). */
void VXQ_F_RECHOST_Install(_VXQ_S_RECHOST_DATA *inout_pRec, _VXQ_S_TESTHOST_DATA *inout_pHost);

/* Adds a file of in_iSize pseudo-random bytes made from in_dwSeed. */
void VXQ_F_RECHOST_AddFile(_VXQ_S_RECHOST_DATA *inout_pRec, const std::string &in_sFlag, int32_t in_iChNo,
                           size_t in_iSize, uint32_t in_dwSeed);

/* The 220-byte record (host order) the host reports for file in_iFile. */
_VXQ_S_DPS_FILE_INFO VXQ_F_RECHOST_FileInfo(_VXQ_S_RECHOST_DATA *inout_pRec, size_t in_iFile);

/* Lowercase hexadecimal MD5 of a byte block (the download check). */
std::string VXQ_F_RECHOST_Md5Hex(const uint8_t *in_pData, size_t in_iLen);

#endif
