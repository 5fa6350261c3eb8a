/* gwconf.cpp - dps-gateway's command line and device file. */
#include "gwconf.h"

#include "vxq_inistore.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char s_sUsage[] =
    "usage: dps-gateway --device HOST[:PORT] --user U --password P [--name NAME] [--listen PORT] [--bind "
    "ADDR]\n"
    "       dps-gateway --config FILE [--listen PORT] [--bind ADDR]\n"
    "  --device HOST[:PORT]  the device (TCP protocol port, default 7000)\n"
    "  --user U --password P the device login\n"
    "  --name NAME           first segment of the RTSP paths (default dev)\n"
    "  --config FILE         INI file listing the devices ([device0] .. [device63])\n"
    "  --listen PORT         RTSP port, 0..65535, 0 = the system picks (default 8554)\n"
    "  --bind ADDR           local address to listen on (default: every address)\n"
    "  --help                this text\n"
    "Serves rtsp://HOST:PORT/<name>/ch<N> (main stream) and .../ch<N>/sub (sub stream).\n";

const char *VXQ_F_GWCONF_Usage(void)
{
    return s_sUsage;
}

/* A whole decimal number within in_iMin..in_iMax. */
static int PR_Number(const std::string &in_sText, long in_iMin, long in_iMax, int *out_piValue)
{
    if (in_sText.empty() || (in_sText[0] != '-' && (in_sText[0] < '0' || in_sText[0] > '9')))
        return 0;
    char *pEnd = nullptr;
    errno = 0;
    long lValue = strtol(in_sText.c_str(), &pEnd, 10);
    if (errno != 0 || *pEnd != 0 || lValue < in_iMin || lValue > in_iMax)
        return 0;
    *out_piValue = (int)lValue;
    return 1;
}

static int PR_ValidName(const std::string &in_sName)
{
    if (in_sName.empty() || in_sName.size() > 64)
        return 0;
    for (char c : in_sName)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
              c == '_' || c == '.'))
            return 0;
    return 1;
}

/* "HOST" or "HOST:PORT" into the device record. */
static int PR_HostPort(const std::string &in_sText, _VXQ_S_GWCONF_DEVICE *out_ptDev)
{
    size_t iColon = in_sText.rfind(':');
    out_ptDev->sHost = in_sText.substr(0, iColon);
    int iPort = VXQ_GWCONF_DEFAULT_DEVICE_PORT;
    if (iColon != std::string::npos && !PR_Number(in_sText.substr(iColon + 1), 1, 65535, &iPort))
        return 0;
    out_ptDev->usPort = (uint16_t)iPort;
    return !out_ptDev->sHost.empty();
}

static void PR_DeviceDefaults(_VXQ_S_GWCONF_DEVICE *out_ptDev)
{
    out_ptDev->sName = "dev";
    out_ptDev->usPort = VXQ_GWCONF_DEFAULT_DEVICE_PORT;
    out_ptDev->iPcmuCodecId = 0;
    out_ptDev->iPcmaCodecId = 1;
}

static std::string PR_IniText(const char *in_sSection, const char *in_sKey, const char *in_sFile)
{
    char sValue[256];
    VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, "", sValue, (int)sizeof(sValue), in_sFile);
    return sValue;
}

/* The [gateway] and [deviceN] sections of in_sFile. */
static int PR_ReadFile(const char *in_sFile, _VXQ_S_GWCONF_DATA *inout_ptConf, std::string *out_psError)
{
    if (access(in_sFile, R_OK) != 0) {
        *out_psError = std::string("cannot read the configuration file ") + in_sFile + ": " + strerror(errno);
        return 0;
    }
    std::string sListen = PR_IniText("gateway", "listen", in_sFile);
    if (!sListen.empty() && !PR_Number(sListen, 0, 65535, &inout_ptConf->iListenPort)) {
        *out_psError = in_sFile + std::string(": [gateway] listen '") + sListen + "' is not a port 0..65535";
        return 0;
    }
    inout_ptConf->sBind = PR_IniText("gateway", "bind", in_sFile);
    for (int i = 0; i < VXQ_GWCONF_MAX_DEVICES; i++) {
        std::string sSection = "device" + std::to_string(i);
        const char *sSec = sSection.c_str();
        std::string sName = PR_IniText(sSec, "name", in_sFile);
        if (sName.empty())
            continue;
        _VXQ_S_GWCONF_DEVICE tDev;
        PR_DeviceDefaults(&tDev);
        std::string sWhere = std::string(in_sFile) + ": [" + sSection + "] ";
        tDev.sName = sName;
        tDev.sHost = PR_IniText(sSec, "host", in_sFile);
        tDev.sUser = PR_IniText(sSec, "user", in_sFile);
        tDev.sPassword = PR_IniText(sSec, "password", in_sFile);
        std::string sPort = PR_IniText(sSec, "port", in_sFile);
        int iPort = VXQ_GWCONF_DEFAULT_DEVICE_PORT;
        if (!PR_ValidName(sName)) {
            *out_psError = sWhere + "name '" + sName + "' may hold only letters, digits, '-', '_' and '.'";
            return 0;
        }
        if (tDev.sHost.empty() || tDev.sUser.empty()) {
            *out_psError = sWhere + "needs host and user";
            return 0;
        }
        if (!sPort.empty() && !PR_Number(sPort, 1, 65535, &iPort)) {
            *out_psError = sWhere + "port '" + sPort + "' is not a port 1..65535";
            return 0;
        }
        tDev.usPort = (uint16_t)iPort;
        const char *sCodecKeys[2] = {"pcmu_codec", "pcma_codec"};
        int *piCodec[2] = {&tDev.iPcmuCodecId, &tDev.iPcmaCodecId};
        for (int k = 0; k < 2; k++) {
            std::string sCodec = PR_IniText(sSec, sCodecKeys[k], in_sFile);
            if (!sCodec.empty() && !PR_Number(sCodec, -1, 15, piCodec[k])) {
                *out_psError = sWhere + sCodecKeys[k] + " '" + sCodec + "' is not a codec id 0..15 (or -1)";
                return 0;
            }
        }
        for (const _VXQ_S_GWCONF_DEVICE &tOther : inout_ptConf->tDevices)
            if (tOther.sName == sName) {
                *out_psError = sWhere + "name '" + sName + "' is used twice";
                return 0;
            }
        inout_ptConf->tDevices.push_back(tDev);
    }
    if (inout_ptConf->tDevices.empty()) {
        *out_psError = std::string(in_sFile) + ": no device (sections [device0] .. [device63] with a name)";
        return 0;
    }
    return 1;
}

int VXQ_F_GWCONF_Parse(int in_iArgc, const char *const *in_ppArgv, _VXQ_S_GWCONF_DATA *out_ptConf,
                       std::string *out_psError)
{
    out_ptConf->tDevices.clear();
    out_ptConf->iListenPort = VXQ_GWCONF_DEFAULT_LISTEN;
    out_ptConf->sBind.clear();
    out_ptConf->bHelp = 0;
    /* Options and their values first; the file is read after, so the command
     * line's --listen and --bind win over the file's. */
    static const char *const s_sValueOpts[] = {"--device", "--user",   "--password", "--name",
                                               "--config", "--listen", "--bind"};
    std::string sValue[7];
    int bGiven[7] = {0, 0, 0, 0, 0, 0, 0};
    for (int i = 1; i < in_iArgc; i++) {
        std::string sOpt = in_ppArgv[i];
        if (sOpt == "--help" || sOpt == "-h") {
            out_ptConf->bHelp = 1;
            return 1;
        }
        int k = 0;
        while (k < 7 && sOpt != s_sValueOpts[k])
            k++;
        if (k == 7) {
            *out_psError = "unknown option '" + sOpt + "' (dps-gateway --help lists the options)";
            return 0;
        }
        if (i + 1 >= in_iArgc) {
            *out_psError = sOpt + " needs a value";
            return 0;
        }
        sValue[k] = in_ppArgv[++i];
        bGiven[k] = 1;
    }
    enum { DEVICE, USER, PASSWORD, NAME, CONFIG, LISTEN, BIND };
    if (bGiven[CONFIG] && (bGiven[DEVICE] || bGiven[USER] || bGiven[PASSWORD] || bGiven[NAME])) {
        *out_psError = "--config lists the devices: --device, --user, --password and --name go without it";
        return 0;
    }
    if (bGiven[CONFIG]) {
        if (!PR_ReadFile(sValue[CONFIG].c_str(), out_ptConf, out_psError))
            return 0;
    } else {
        if (!bGiven[DEVICE]) {
            *out_psError = "--device or --config is required";
            return 0;
        }
        _VXQ_S_GWCONF_DEVICE tDev;
        PR_DeviceDefaults(&tDev);
        if (!PR_HostPort(sValue[DEVICE], &tDev)) {
            *out_psError =
                "bad --device value '" + sValue[DEVICE] + "': HOST or HOST:PORT with a port 1..65535";
            return 0;
        }
        if (!bGiven[USER] || !bGiven[PASSWORD]) {
            *out_psError = "--device needs --user and --password";
            return 0;
        }
        if (bGiven[NAME] && !PR_ValidName(sValue[NAME])) {
            *out_psError = "bad --name value '" + sValue[NAME] + "': letters, digits, '-', '_' and '.' only";
            return 0;
        }
        if (bGiven[NAME])
            tDev.sName = sValue[NAME];
        tDev.sUser = sValue[USER];
        tDev.sPassword = sValue[PASSWORD];
        out_ptConf->tDevices.push_back(tDev);
    }
    if (bGiven[LISTEN] && !PR_Number(sValue[LISTEN], 0, 65535, &out_ptConf->iListenPort)) {
        *out_psError = "bad --listen value '" + sValue[LISTEN] + "': a port number 0..65535";
        return 0;
    }
    if (bGiven[BIND]) {
        if (sValue[BIND].empty()) {
            *out_psError = "--bind needs an address";
            return 0;
        }
        out_ptConf->sBind = sValue[BIND];
    }
    return 1;
}
