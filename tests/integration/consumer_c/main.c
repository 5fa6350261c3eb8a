/* Install consumer in C: finds the installed library with find_package(vxqdps CONFIG). */
#include "../consumer_common.h"

int main(void)
{
    return consumer_run("c-cmake-consumer");
}
