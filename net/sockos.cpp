/* The default table of operating-system socket calls and the switch tests use. */
#include "net/sockos.h"

#include <atomic>
#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int VXQ_F_SOCKOS_PR_Fcntl(int in_iFd, int in_iCmd, int in_iArg)
{
    return fcntl(in_iFd, in_iCmd, in_iArg);
}

static int VXQ_F_SOCKOS_PR_Ioctl(int in_iFd, unsigned long in_dwRequest, void *inout_pArg)
{
    return ioctl(in_iFd, in_dwRequest, inout_pArg);
}

static int VXQ_F_SOCKOS_PR_Accept(int in_iSocket, struct sockaddr *out_pAddr, socklen_t *inout_pLen)
{
    return accept(in_iSocket, out_pAddr, inout_pLen);
}

static int VXQ_F_SOCKOS_PR_Connect(int in_iSocket, const struct sockaddr *in_pAddr, socklen_t in_iLen)
{
    return connect(in_iSocket, in_pAddr, in_iLen);
}

static int VXQ_F_SOCKOS_PR_Select(int in_iMaxFdPlus1, fd_set *inout_pRead, fd_set *inout_pWrite,
                                  fd_set *inout_pError, struct timeval *inout_pTimeout)
{
    return select(in_iMaxFdPlus1, inout_pRead, inout_pWrite, inout_pError, inout_pTimeout);
}

static const _VXQ_S_SOCKOS_TABLE s_tDefaultTable = {
    socket,
    bind,
    listen,
    VXQ_F_SOCKOS_PR_Accept,
    VXQ_F_SOCKOS_PR_Connect,
    send,
    recv,
    sendto,
    recvfrom,
    VXQ_F_SOCKOS_PR_Select,
    poll,
    setsockopt,
    getsockopt,
    VXQ_F_SOCKOS_PR_Fcntl,
    VXQ_F_SOCKOS_PR_Ioctl,
    close,
    shutdown,
    getsockname,
    getpeername,
    getaddrinfo,
    freeaddrinfo,
    sendmsg,
};

static std::atomic<const _VXQ_S_SOCKOS_TABLE *> s_pTable{&s_tDefaultTable};

const _VXQ_S_SOCKOS_TABLE *VXQ_F_SOCKOS_Get(void)
{
    return s_pTable.load(std::memory_order_acquire);
}

const _VXQ_S_SOCKOS_TABLE *VXQ_F_SOCKOS_Default(void)
{
    return &s_tDefaultTable;
}

void VXQ_F_SOCKOS_Install(const _VXQ_S_SOCKOS_TABLE *in_pTable)
{
    s_pTable.store(in_pTable != NULL ? in_pTable : &s_tDefaultTable, std::memory_order_release);
}
