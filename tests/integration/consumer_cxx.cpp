// Install consumer in C++: built with the flags pkg-config gives for vxqdps.
#include <string>

#include "consumer_common.h"

int main()
{
    const std::string sName = std::string("cxx-pkgconfig-consumer");
    return consumer_run(sName.c_str());
}
