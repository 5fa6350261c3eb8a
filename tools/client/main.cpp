/*
 * main.cpp - dps-client: the reference command-line client of the device
 * protocol. Parses the device address and the user, then runs one command.
 * Exit status 0 success, 1 a refused request or login, 2 bad usage or a broken
 * connection; every failure is one line on the standard error.
 */
#include "cliapp.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

static const char s_sUsage[] =
    "usage: dps-client search [--timeout S]\n"
    "       dps-client [--host H] [--port N] --user U (--password P | --password-file F) COMMAND ...\n"
    "  --host H (default 127.0.0.1), --port N (TCP protocol port, default 7000)\n"
    "commands:\n"
    "  info                                   log in and show the device\n"
    "  live --ch C [--stream S] [--seconds N] [--audio] [--audio-out FILE] --out FILE\n"
    "  ptz --ch C --cmd N [--data N] [--ext1 N] [--ext2 N]\n"
    "  iframe --ch C [--stream S]\n"
    "  quality get|set|cap --ch C [--stream S] [--level N]\n"
    "  records --ch C --from TIME --to TIME [--type N]      TIME: \"YYYY-MM-DD hh:mm:ss\"\n"
    "  download (--file FLAG | --ch C --from TIME --to TIME) --out FILE\n"
    "      live and download: --out - writes to the standard output, messages to the standard error\n"
    "  talk --ch C --in FILE                  G.711 mu-law raw, 8000 bytes/s\n"
    "  alarms [--seconds N] [--arm]\n"
    "  config get|set|default|export|import [--id N] [--in FILE] [--out FILE] [--param N]\n"
    "  net info\n"
    "  users add|set --name N [--new-password P] [--rights R] [--ch-rights R,R,...]\n"
    "  users del|get --name N\n"
    "  passwd --new P [--name N]              (old password: the login password)\n"
    "  serial open|write|read [--params A,B,C,D,E,F] [--data TEXT | --in FILE] [--seconds N]\n"
    "  custom --id N [--in FILE] [--out FILE]\n"
    "  ability [--kind N]\n"
    "  version\n"
    "  upgrade --in FILE [--piece BYTES]\n"
    "  reboot | stop\n"
    "  trace [--seconds N] [--server-id N]     register as a trace client and print log lines\n"
    "  log --port N [--seconds N]             print the lines of the TCP log port\n";

typedef int (*PR_CMD_FN)(_VXQ_S_CLIAPP_CTX *inout_ptCtx);

static const struct {
    const char *sName;
    PR_CMD_FN fnRun;
} s_tCommands[] = {
    {"info", VXQ_F_CLICMD_Info},       {"live", VXQ_F_CLICMD_Live},       {"ptz", VXQ_F_CLICMD_Ptz},
    {"iframe", VXQ_F_CLICMD_IFrame},   {"quality", VXQ_F_CLICMD_Quality}, {"records", VXQ_F_CLICMD_Records},
    {"download", VXQ_F_CLICMD_Download}, {"talk", VXQ_F_CLICMD_Talk},     {"alarms", VXQ_F_CLICMD_Alarms},
    {"config", VXQ_F_CLICMD_Config},   {"net", VXQ_F_CLICMD_Net},         {"users", VXQ_F_CLICMD_Users},
    {"passwd", VXQ_F_CLICMD_Passwd},   {"serial", VXQ_F_CLICMD_Serial},   {"custom", VXQ_F_CLICMD_Custom},
    {"ability", VXQ_F_CLICMD_Ability}, {"version", VXQ_F_CLICMD_Version}, {"upgrade", VXQ_F_CLICMD_Upgrade},
    {"reboot", VXQ_F_CLICMD_Reboot},   {"stop", VXQ_F_CLICMD_Stop},       {"search", VXQ_F_CLICMD_Search},
    {"trace", VXQ_F_CLICMD_Trace},     {"log", VXQ_F_CLICMD_Log},
};

static void PR_OnSignal(int in_iSignal)
{
    (void)in_iSignal;
    g_bCliStop = 1;
}

/* The first line of a password file, without its line end. */
static int PR_ReadPasswordFile(const std::string &in_sPath, std::string *out_psPassword)
{
    std::vector<uint8_t> tData;
    if (!VXQ_F_CLIAPP_ReadFile(in_sPath, &tData))
        return 0;
    std::string sText(tData.begin(), tData.end());
    size_t iEnd = sText.find_first_of("\r\n");
    *out_psPassword = iEnd == std::string::npos ? sText : sText.substr(0, iEnd);
    return 1;
}

int main(int argc, char **argv)
{
    struct sigaction tAct;
    memset(&tAct, 0, sizeof(tAct));
    tAct.sa_handler = PR_OnSignal;
    sigaction(SIGINT, &tAct, nullptr);
    sigaction(SIGTERM, &tAct, nullptr);
    signal(SIGPIPE, SIG_IGN);

    _VXQ_S_CLIAPP_CTX tCtx;
    tCtx.sHost = "127.0.0.1";
    tCtx.usPort = 7000;
    tCtx.bHaveUser = 0;
    VXQ_F_CLI_Init(&tCtx.tLink);
    int bPassword = 0;
    int i = 1;
    for (; i < argc; i++) {
        std::string sOpt = argv[i];
        if (sOpt == "--help" || sOpt == "-h") {
            fputs(s_sUsage, stdout);
            return VXQ_CLIAPP_EXIT_OK;
        }
        if (sOpt.compare(0, 2, "--") != 0)
            break;
        if (sOpt != "--host" && sOpt != "--port" && sOpt != "--user" && sOpt != "--password" &&
            sOpt != "--password-file")
            return VXQ_F_CLIAPP_Usage(nullptr, "unknown option '" + sOpt + "'");
        if (i + 1 >= argc)
            return VXQ_F_CLIAPP_Usage(nullptr, sOpt + " needs a value");
        std::string sValue = argv[++i];
        if (sOpt == "--host") {
            if (sValue.empty())
                return VXQ_F_CLIAPP_Usage(nullptr, "--host needs a host name or address");
            tCtx.sHost = sValue;
        } else if (sOpt == "--port") {
            long long llPort = 0;
            if (!VXQ_F_CLIAPP_ParseNumber(sValue, &llPort) || llPort < 1 || llPort > 65535)
                return VXQ_F_CLIAPP_Usage(nullptr, "bad --port value '" + sValue + "': a port number 1..65535");
            tCtx.usPort = (uint16_t)llPort;
        } else if (sOpt == "--user") {
            if (sValue.empty() || sValue.size() > 31)
                return VXQ_F_CLIAPP_Usage(nullptr, "--user needs a name of 1 to 31 characters");
            tCtx.sUser = sValue;
        } else if (sOpt == "--password") {
            if (bPassword)
                return VXQ_F_CLIAPP_Usage(nullptr, "give either --password or --password-file, once");
            tCtx.sPassword = sValue;
            bPassword = 1;
        } else {
            if (bPassword)
                return VXQ_F_CLIAPP_Usage(nullptr, "give either --password or --password-file, once");
            if (!PR_ReadPasswordFile(sValue, &tCtx.sPassword))
                return VXQ_F_CLIAPP_Report(nullptr, VXQ_CLIAPP_EXIT_BROKEN,
                                           "cannot read the password file '" + sValue + "': " + strerror(errno));
            bPassword = 1;
        }
    }
    if (i >= argc)
        return VXQ_F_CLIAPP_Usage(nullptr, "no command given");
    if (!tCtx.sUser.empty() && !bPassword)
        return VXQ_F_CLIAPP_Usage(nullptr, "--user needs --password or --password-file");
    if (tCtx.sUser.empty() && bPassword)
        return VXQ_F_CLIAPP_Usage(nullptr, "a password needs --user");
    tCtx.bHaveUser = !tCtx.sUser.empty();
    tCtx.sCommand = argv[i];
    for (int k = i + 1; k < argc; k++)
        tCtx.tArgs.push_back(argv[k]);
    for (size_t c = 0; c < sizeof(s_tCommands) / sizeof(s_tCommands[0]); c++) {
        if (tCtx.sCommand == s_tCommands[c].sName) {
            int iStatus = s_tCommands[c].fnRun(&tCtx);
            VXQ_F_CLI_Close(&tCtx.tLink);
            fflush(stdout);
            return iStatus;
        }
    }
    std::string sCommand = tCtx.sCommand;
    tCtx.sCommand.clear();
    return VXQ_F_CLIAPP_Usage(&tCtx, "unknown command '" + sCommand + "'");
}
