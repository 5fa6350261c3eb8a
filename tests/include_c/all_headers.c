/*
 * Includes every public header as C99 and calls one function of each, linked
 * against the shared library: a header that is not C, or a function that is
 * not exported with C linkage, fails here. Add each new public header here.
 */
#include "vxq_base.h"
#include "vxq_clock.h"
#include "vxq_log.h"
#include "vxq_sockwrap.h"

#include <stdio.h>

int main(void)
{
    int iFailures = 0;
    if (VXQ_F_CLOCK_TickMs() == 0 && VXQ_F_CLOCK_NowSec() == 0)
        iFailures++;
    if (VXQ_F_LOG_SR_WriteLog("public headers check", 1) != 1)
        iFailures++;
    if (VXQ_F_SYS_SOCKET_CheckIpaddr("127.0.0.1") != 1)
        iFailures++;
    if (iFailures)
        printf("%d public API checks failed\n", iFailures);
    return iFailures ? 1 : 0;
}
