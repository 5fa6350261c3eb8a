#include <gtest/gtest.h>

#include "net/sockos.h"
#include "vxq_sockwrap.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>

namespace {

/* The resolver in force for the lookup test (no name server is asked): names
 * starting "no-" are unknown, every other one has 10.0.0.1, 10.0.0.2, 10.0.0.3. */
int ThreeAddressResolver(const char *in_sName, const char *, const struct addrinfo *, struct addrinfo **out_ppList)
{
    *out_ppList = NULL;
    if (strncmp(in_sName, "no-", 3) == 0)
        return EAI_NONAME;
    for (uint32_t i = 3; i >= 1; i--) {
        struct addrinfo *pItem = (struct addrinfo *)calloc(1, sizeof(struct addrinfo));
        struct sockaddr_in *pAddr = (struct sockaddr_in *)calloc(1, sizeof(struct sockaddr_in));
        pAddr->sin_family = AF_INET;
        pAddr->sin_addr.s_addr = htonl(0x0A000000u + i);
        pItem->ai_family = AF_INET;
        pItem->ai_addr = (struct sockaddr *)pAddr;
        pItem->ai_addrlen = sizeof(*pAddr);
        pItem->ai_next = *out_ppList;
        *out_ppList = pItem;
    }
    return 0;
}

void ThreeAddressFree(struct addrinfo *in_pList)
{
    while (in_pList != NULL) {
        struct addrinfo *pNext = in_pList->ai_next;
        free(in_pList->ai_addr);
        free(in_pList);
        in_pList = pNext;
    }
}

} // namespace

/* Dotted text needs no resolver (the broadcast address is no address); a name
 * gives its first address, a random one of all (drawn without touching the
 * host's rand), or the whole table; an unknown name gives code 2 and no table. */
TEST(SockQuery, LookupsOfDottedTextKnownAndUnknownNames)
{
    EXPECT_EQ(VXQ_F_SYS_SOCKET_CheckIpaddr("255.255.255.254"), 1);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_CheckIpaddr("255.255.255.255"), 0);
    _VXQ_S_SOCKOS_TABLE tOs = *VXQ_F_SOCKOS_Default();
    tOs.fnGetAddrInfo = ThreeAddressResolver;
    tOs.fnFreeAddrInfo = ThreeAddressFree;
    VXQ_F_SOCKOS_Install(&tOs);
    char sIp[16] = "";
    _VXQ_S_SYS_IPADDR *pTable = NULL;
    int iCount = -1;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetNetIpAddr("10.1.2.3", sIp), 0);
    EXPECT_STREQ(sIp, "10.1.2.3");
    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetDomainIpAddrTable("10.9.8.7", &pTable, &iCount), 0);
    ASSERT_EQ(iCount, 1);
    EXPECT_STREQ(pTable[0].szIpaddr, "10.9.8.7");
    VXQ_F_SYS_SOCKET_FreeIpAddrTable(&pTable);
    EXPECT_EQ(pTable, nullptr);

    srand(7);
    int iExpectedRand = rand();
    srand(7);
    std::set<std::string> tSeen;
    for (int i = 0; i < 200; i++) {
        ASSERT_EQ(VXQ_F_SYS_SOCKET_GetRandomNetIpAddr("cluster.example", sIp), 0);
        tSeen.insert(sIp);
    }
    EXPECT_EQ(rand(), iExpectedRand) << "the host's generator was reseeded or drawn from";
    EXPECT_EQ(tSeen, (std::set<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetNetIpAddr("cluster.example", sIp), 0);
    EXPECT_STREQ(sIp, "10.0.0.1");
    ASSERT_EQ(VXQ_F_SYS_SOCKET_GetDomainIpAddrTable("cluster.example", &pTable, &iCount), 0);
    ASSERT_EQ(iCount, 3);
    EXPECT_STREQ(pTable[2].szIpaddr, "10.0.0.3");
    VXQ_F_SYS_SOCKET_FreeIpAddrTable(&pTable);

    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetNetIpAddr("no-such-host", sIp), 2);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetRandomNetIpAddr("no-such-host", sIp), 2);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_GetDomainIpAddrTable("no-such-host", &pTable, &iCount), 2);
    EXPECT_EQ(pTable, nullptr);
    EXPECT_EQ(iCount, 0);
    VXQ_F_SOCKOS_Install(NULL);
}

TEST(SockQuery, InterfaceQueriesSeeOnlyLoopbackInTheTestNamespace)
{
    _VXQ_S_SYS_IPADDR_TABLE tTable;
    memset(&tTable, 0, sizeof(tTable));
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryLocalIpaddrTable(&tTable), 0);
    EXPECT_EQ(tTable.iIpaddrNum, 0);
    tTable.iIpaddrNum = 9;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryLocalIpaddrTable(&tTable), 1);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryLocalIpaddrTable(NULL), 1);
    char sMac[18] = "unchanged";
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryAdpMacByIpaddr("10.200.200.200", sMac), 0);
    EXPECT_STREQ(sMac, "unchanged");
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryAdpMacByIpaddr("127.0.0.1", sMac), 0);
    EXPECT_STREQ(sMac, "00-00-00-00-00-00");
    EXPECT_EQ(VXQ_F_SYS_SOCKET_QueryAdpMacByIpaddr(NULL, sMac), 5);
}
