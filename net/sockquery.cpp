/* Address and interface queries: name lookups, address checks, the local
 * interface list and hardware addresses, through the OS table of net/sockos.h. */
#include "vxq_sockwrap.h"

#include "net/sockos.h"
#include "vxq_syshelp.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>

/* Interfaces asked of the kernel in one interface-list query. */
#define VXQ_SYS_SOCKET_IF_QUERY_NUM 16

extern "C" int VXQ_F_SYS_SOCKET_CheckIpaddr(const char *in_pIpaddr)
{
    struct in_addr tAddr;
    if (in_pIpaddr == NULL || inet_pton(AF_INET, in_pIpaddr, &tAddr) != 1)
        return 0;
    return tAddr.s_addr == 0xFFFFFFFFu ? 0 : 1;
}

/* Copies a dotted text of at most 15 characters into a 16-byte output. */
static void VXQ_F_SYS_SOCKET_PR_CopyIpaddr(char *out_pIpaddr, const char *in_pText)
{
    size_t nLen = strlen(in_pText);
    if (nLen > 15)
        nLen = 15;
    memcpy(out_pIpaddr, in_pText, nLen);
    out_pIpaddr[nLen] = 0;
}

/* Resolves in_pHost to its IPv4 addresses (thread-safe, unlike the old
 * resolver). 1 with the list, which the caller frees; 0 when not resolved. */
static int VXQ_F_SYS_SOCKET_PR_Resolve(const char *in_pHost, struct addrinfo **out_ppList)
{
    struct addrinfo tHints;
    memset(&tHints, 0, sizeof(tHints));
    tHints.ai_family = AF_INET;
    tHints.ai_socktype = SOCK_STREAM;
    *out_ppList = NULL;
    if (VXQ_F_SOCKOS_Get()->fnGetAddrInfo(in_pHost, NULL, &tHints, out_ppList) != 0) {
        *out_ppList = NULL;
        return 0;
    }
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_GetNetIpAddr(const char *in_pHost, char *out_pIpaddr)
{
    struct in_addr tDotted;
    if (in_pHost == NULL || out_pIpaddr == NULL)
        return 1;
    if (inet_pton(AF_INET, in_pHost, &tDotted) == 1) {
        VXQ_F_SYS_SOCKET_PR_CopyIpaddr(out_pIpaddr, in_pHost);
        return 0;
    }
    struct addrinfo *pList = NULL;
    if (!VXQ_F_SYS_SOCKET_PR_Resolve(in_pHost, &pList))
        return 2;
    int iCode = 3;
    for (struct addrinfo *pItem = pList; pItem != NULL; pItem = pItem->ai_next) {
        if (pItem->ai_family != AF_INET || pItem->ai_addr == NULL)
            continue;
        char sText[16];
        iCode = inet_ntop(AF_INET, &((struct sockaddr_in *)pItem->ai_addr)->sin_addr, sText, sizeof(sText)) != NULL
                    ? 0
                    : 4;
        if (iCode == 0)
            VXQ_F_SYS_SOCKET_PR_CopyIpaddr(out_pIpaddr, sText);
        break;
    }
    VXQ_F_SOCKOS_Get()->fnFreeAddrInfo(pList);
    return iCode;
}

extern "C" int VXQ_F_SYS_SOCKET_GetRandomNetIpAddr(const char *in_pHost, char *out_pIpaddr)
{
    struct in_addr tDotted;
    if (in_pHost == NULL || out_pIpaddr == NULL)
        return 1;
    if (inet_pton(AF_INET, in_pHost, &tDotted) == 1) {
        VXQ_F_SYS_SOCKET_PR_CopyIpaddr(out_pIpaddr, in_pHost);
        return 0;
    }
    struct addrinfo *pList = NULL;
    if (!VXQ_F_SYS_SOCKET_PR_Resolve(in_pHost, &pList))
        return 2;
    uint32_t dwNum = 0;
    for (struct addrinfo *pItem = pList; pItem != NULL; pItem = pItem->ai_next)
        if (pItem->ai_family == AF_INET && pItem->ai_addr != NULL)
            dwNum++;
    int iCode = 4;
    if (pList != NULL && dwNum == 0)
        iCode = 3;
    if (dwNum > 0) {
        /* The library's own generator: the host's rand() state is left alone. */
        uint32_t dwPick = VXQ_F_SYS_GetRandom32() % dwNum;
        for (struct addrinfo *pItem = pList; pItem != NULL; pItem = pItem->ai_next) {
            if (pItem->ai_family != AF_INET || pItem->ai_addr == NULL)
                continue;
            if (dwPick-- != 0)
                continue;
            char sText[16];
            if (inet_ntop(AF_INET, &((struct sockaddr_in *)pItem->ai_addr)->sin_addr, sText, sizeof(sText)) == NULL)
                iCode = 6;
            else if (sText[0] == 0)
                iCode = 7;
            else {
                VXQ_F_SYS_SOCKET_PR_CopyIpaddr(out_pIpaddr, sText);
                iCode = 0;
            }
            break;
        }
    }
    VXQ_F_SOCKOS_Get()->fnFreeAddrInfo(pList);
    return iCode;
}

extern "C" int VXQ_F_SYS_SOCKET_GetDomainIpAddrTable(const char *in_pHost, _VXQ_S_SYS_IPADDR **out_ppTable,
                                                     int *out_pCount)
{
    if (out_ppTable == NULL || out_pCount == NULL || in_pHost == NULL)
        return 99;
    *out_ppTable = NULL;
    *out_pCount = 0;
    struct in_addr tDotted;
    if (inet_pton(AF_INET, in_pHost, &tDotted) == 1) {
        _VXQ_S_SYS_IPADDR *pTable = (_VXQ_S_SYS_IPADDR *)calloc(1, sizeof(_VXQ_S_SYS_IPADDR));
        if (pTable == NULL)
            return 5;
        VXQ_F_SYS_SOCKET_PR_CopyIpaddr(pTable[0].szIpaddr, in_pHost);
        *out_ppTable = pTable;
        *out_pCount = 1;
        return 0;
    }
    struct addrinfo *pList = NULL;
    if (!VXQ_F_SYS_SOCKET_PR_Resolve(in_pHost, &pList))
        return 2;
    int iNum = 0;
    for (struct addrinfo *pItem = pList; pItem != NULL; pItem = pItem->ai_next)
        if (pItem->ai_family == AF_INET && pItem->ai_addr != NULL)
            iNum++;
    int iCode = 0;
    _VXQ_S_SYS_IPADDR *pTable = NULL;
    if (iNum == 0) {
        iCode = 4;
    } else if ((pTable = (_VXQ_S_SYS_IPADDR *)calloc((size_t)iNum, sizeof(_VXQ_S_SYS_IPADDR))) == NULL) {
        iCode = 5;
    } else {
        int iIndex = 0;
        for (struct addrinfo *pItem = pList; pItem != NULL && iCode == 0; pItem = pItem->ai_next) {
            if (pItem->ai_family != AF_INET || pItem->ai_addr == NULL)
                continue;
            if (inet_ntop(AF_INET, &((struct sockaddr_in *)pItem->ai_addr)->sin_addr, pTable[iIndex].szIpaddr, 16) ==
                NULL)
                iCode = 6;
            iIndex++;
        }
        if (iCode != 0) {
            free(pTable);
            pTable = NULL;
        }
    }
    VXQ_F_SOCKOS_Get()->fnFreeAddrInfo(pList);
    if (iCode == 0) {
        *out_ppTable = pTable;
        *out_pCount = iNum;
    }
    return iCode;
}

extern "C" void VXQ_F_SYS_SOCKET_FreeIpAddrTable(_VXQ_S_SYS_IPADDR **inout_ppTable)
{
    if (inout_ppTable == NULL)
        return;
    free(*inout_ppTable);
    *inout_ppTable = NULL;
}

/* Reads the kernel's interface list (room for 16) through in_iSocket; the
 * number of entries, or -1 when the query failed. */
static int VXQ_F_SYS_SOCKET_PR_ListInterfaces(int in_iSocket, struct ifreq *out_pReqs)
{
    struct ifconf tConf;
    memset(out_pReqs, 0, sizeof(struct ifreq) * VXQ_SYS_SOCKET_IF_QUERY_NUM);
    memset(&tConf, 0, sizeof(tConf));
    tConf.ifc_len = (int)(sizeof(struct ifreq) * VXQ_SYS_SOCKET_IF_QUERY_NUM);
    tConf.ifc_req = out_pReqs;
    if (VXQ_F_SOCKOS_Get()->fnIoctl(in_iSocket, SIOCGIFCONF, &tConf) != 0)
        return -1;
    int iNum = tConf.ifc_len / (int)sizeof(struct ifreq);
    if (iNum < 0)
        iNum = 0;
    if (iNum > VXQ_SYS_SOCKET_IF_QUERY_NUM)
        iNum = VXQ_SYS_SOCKET_IF_QUERY_NUM;
    return iNum;
}

extern "C" int VXQ_F_SYS_SOCKET_QueryLocalIpaddrTable(_VXQ_S_SYS_IPADDR_TABLE *inout_pTable)
{
    if (inout_pTable == NULL || inout_pTable->iIpaddrNum < 0 || inout_pTable->iIpaddrNum > 8)
        return 1;
    int iSocket = VXQ_F_SYS_SOCKET_Create(1);
    if (iSocket < 0)
        return 2;
    struct ifreq tReqs[VXQ_SYS_SOCKET_IF_QUERY_NUM];
    int iNum = VXQ_F_SYS_SOCKET_PR_ListInterfaces(iSocket, tReqs);
    VXQ_F_SYS_SOCKET_Close(iSocket);
    if (iNum < 0)
        return 3;
    for (int i = 0; i < iNum && inout_pTable->iIpaddrNum < 8; i++) {
        if (tReqs[i].ifr_addr.sa_family != AF_INET)
            continue;
        struct sockaddr_in tAddr;
        memcpy(&tAddr, &tReqs[i].ifr_addr, sizeof(tAddr));
        char sText[16];
        if (inet_ntop(AF_INET, &tAddr.sin_addr, sText, sizeof(sText)) == NULL || strcmp(sText, "127.0.0.1") == 0)
            continue;
        _VXQ_S_SYS_IPADDR *pEntry = &inout_pTable->tIpaddr[inout_pTable->iIpaddrNum];
        memset(pEntry, 0, sizeof(*pEntry));
        VXQ_F_SYS_SOCKET_PR_CopyIpaddr(pEntry->szIpaddr, sText);
        inout_pTable->iIpaddrNum++;
    }
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_QueryAdpMacByIpaddr(const char *in_pIpaddr, char *out_pMac)
{
    if (in_pIpaddr == NULL || out_pMac == NULL)
        return 5;
    int iSocket = VXQ_F_SYS_SOCKET_Create(1);
    if (iSocket < 0)
        return 1;
    struct ifreq tReqs[VXQ_SYS_SOCKET_IF_QUERY_NUM];
    int iNum = VXQ_F_SYS_SOCKET_PR_ListInterfaces(iSocket, tReqs);
    VXQ_F_SYS_SOCKET_Close(iSocket);
    if (iNum < 0)
        return 2;
    for (int i = 0; i < iNum; i++) {
        if (tReqs[i].ifr_addr.sa_family != AF_INET)
            continue;
        struct sockaddr_in tAddr;
        memcpy(&tAddr, &tReqs[i].ifr_addr, sizeof(tAddr));
        char sText[16];
        if (inet_ntop(AF_INET, &tAddr.sin_addr, sText, sizeof(sText)) == NULL || strcmp(sText, in_pIpaddr) != 0)
            continue;
        int iHwSocket = VXQ_F_SYS_SOCKET_Create(1);
        if (iHwSocket < 0)
            return 3;
        struct ifreq tHw;
        memset(&tHw, 0, sizeof(tHw));
        memcpy(tHw.ifr_name, tReqs[i].ifr_name, sizeof(tHw.ifr_name));
        int iResult = VXQ_F_SOCKOS_Get()->fnIoctl(iHwSocket, SIOCGIFHWADDR, &tHw);
        VXQ_F_SYS_SOCKET_Close(iHwSocket);
        if (iResult != 0)
            return 4;
        const unsigned char *pMac = (const unsigned char *)tHw.ifr_hwaddr.sa_data;
        snprintf(out_pMac, 18, "%2.2X-%2.2X-%2.2X-%2.2X-%2.2X-%2.2X", pMac[0], pMac[1], pMac[2], pMac[3], pMac[4],
                 pMac[5]);
        return 0;
    }
    return 0;
}
