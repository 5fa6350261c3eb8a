/*
 * cliapp.h - the command-line side of dps-client shared by its commands:
 * the run context (device address, user, the logged-in command connection),
 * command option parsing, the one-line failure reports with their exit
 * statuses, files written under a temporary name, progress output and the
 * heartbeat of long-running commands.
 *
 * Single-threaded: the tool runs one command in its main thread. A command
 * returns its exit status: 0 success, 1 the device refused a request (or the
 * login), 2 bad usage or a broken connection. Every failure is reported once,
 * where it is detected, as one line "dps-client: <what failed>: <why>" on the
 * standard error.
 */
#ifndef VXQ_CLIENT_CLIAPP_H
#define VXQ_CLIENT_CLIAPP_H

#include "clilink.h"

#include <signal.h>
#include <stdio.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#define VXQ_CLIAPP_EXIT_OK 0
#define VXQ_CLIAPP_EXIT_REFUSED 1
#define VXQ_CLIAPP_EXIT_BROKEN 2
#define VXQ_CLIAPP_CALL_TIMEOUT_MS 10000 /* the device may relay to its host application */

/* Set by SIGINT / SIGTERM: long commands end cleanly at the next check. */
extern volatile sig_atomic_t g_bCliStop;

/* The options of one command: values by name ("--ch" -> "1"), flags, and the
 * words that are not options, in order. */
typedef struct _VXQ_S_CLIAPP_OPTS {
    std::map<std::string, std::string> tValues;
    std::map<std::string, int> tFlags;
    std::vector<std::string> tWords;
} _VXQ_S_CLIAPP_OPTS;

/* Everything a command needs. */
typedef struct _VXQ_S_CLIAPP_CTX {
    std::string sHost;
    uint16_t usPort;
    std::string sUser;
    std::string sPassword;
    int bHaveUser;
    std::string sCommand;           /* the command's name, for reports */
    std::vector<std::string> tArgs; /* the words after the command name */
    _VXQ_S_CLI_LINK tLink;          /* the command connection */
    _VXQ_S_CLI_LOGIN_INFO tLogin;
} _VXQ_S_CLIAPP_CTX;

/* Milliseconds of the steady clock. */
int64_t VXQ_F_CLIAPP_NowMs(void);

/* Prints "dps-client: <command>: <text>" on stderr and returns in_iStatus. */
int VXQ_F_CLIAPP_Report(const _VXQ_S_CLIAPP_CTX *in_ptCtx, int in_iStatus, const std::string &in_sText);

/* Reports a usage error of the command (status 2). */
int VXQ_F_CLIAPP_Usage(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sText);

/* Reports a failed link operation: "<what>: <cause>" (status 2). */
int VXQ_F_CLIAPP_LinkFail(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLI_LINK *in_ptLink,
                          const std::string &in_sWhat);

/* Reports a refused request: "<what> refused: result N (text)" (status 1). */
int VXQ_F_CLIAPP_Refused(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sWhat, uint8_t in_ucResult);

/* Parses the command's words: in_sValueOpts and in_sFlagOpts list the allowed
 * names separated by blanks ("--ch --stream"). Returns 0 (after a usage report)
 * on an unknown option or a missing value. */
int VXQ_F_CLIAPP_ParseOpts(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::vector<std::string> &in_tArgs,
                           const char *in_sValueOpts, const char *in_sFlagOpts, _VXQ_S_CLIAPP_OPTS *out_ptOpts);

/* An integer option (decimal or 0x hex) within in_llMin..in_llMax; a missing
 * option takes in_llDefault unless in_bRequired. Returns 0 after a usage report. */
int VXQ_F_CLIAPP_OptInt(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts, const char *in_sName,
                        int in_bRequired, long long in_llDefault, long long in_llMin, long long in_llMax,
                        long long *out_pllValue);

/* A text option; required ones report a usage error when missing. */
int VXQ_F_CLIAPP_OptText(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts, const char *in_sName,
                         int in_bRequired, std::string *out_psValue);

/* Parses a whole number text (decimal or 0x hex) into *out_pllValue. */
int VXQ_F_CLIAPP_ParseNumber(const std::string &in_sText, long long *out_pllValue);

/* Connects the command connection and logs in. Returns the exit status of a
 * failure, or -1 when logged in (tLogin filled). */
int VXQ_F_CLIAPP_Open(_VXQ_S_CLIAPP_CTX *inout_ptCtx);

/* Connects one more connection to the device (media, download, talk). Returns 1,
 * or 0 after reporting. */
int VXQ_F_CLIAPP_Connect(_VXQ_S_CLIAPP_CTX *in_ptCtx, _VXQ_S_CLI_LINK *out_ptLink, const std::string &in_sWhat);

/* Sends a request on the command connection and waits for its answer. Returns
 * -1 when the answer came with result 0, otherwise the reported exit status. */
int VXQ_F_CLIAPP_Call(_VXQ_S_CLIAPP_CTX *inout_ptCtx, _VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg,
                      std::vector<uint8_t> &out_tAnswer, const std::string &in_sWhat,
                      int in_iTimeoutMs = VXQ_CLIAPP_CALL_TIMEOUT_MS);

/* Sends a heartbeat on the command connection when it is due (VXQ_F_CLI_KeepAlive);
 * its echo is read and dropped by whoever reads that connection. */
int VXQ_F_CLIAPP_KeepAlive(_VXQ_S_CLIAPP_CTX *inout_ptCtx);

/* Whole-file reading; 0 when the file cannot be read. */
int VXQ_F_CLIAPP_ReadFile(const std::string &in_sPath, std::vector<uint8_t> *out_ptData);

/* A file written under "<name>.part" and renamed to its name only when
 * committed; dropped (temporary file removed) otherwise. Opened with
 * VXQ_F_CLIAPP_OutOpenStream, the name "-" is the standard output instead
 * (sTempPath empty): every write is flushed at once for the reader of a pipe,
 * and nothing is renamed or removed. */
typedef struct _VXQ_S_CLIAPP_OUTFILE {
    std::string sPath;
    std::string sTempPath;
    FILE *pFile;
    uint64_t qwBytes;
} _VXQ_S_CLIAPP_OUTFILE;

int VXQ_F_CLIAPP_OutOpen(_VXQ_S_CLIAPP_OUTFILE *out_ptFile, const std::string &in_sPath);
int VXQ_F_CLIAPP_OutOpenStream(_VXQ_S_CLIAPP_OUTFILE *out_ptFile, const std::string &in_sPath);
/* 0 when the bytes could not all be written (errno says why; EPIPE: the reader
 * of the standard output went away). */
int VXQ_F_CLIAPP_OutWrite(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile, const void *in_pData, size_t in_iLen);
/* Flushes, closes and renames; 0 when any of it failed (the temporary file is then removed). */
int VXQ_F_CLIAPP_OutCommit(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile);
/* Closes and removes the temporary file. Safe after a commit. */
void VXQ_F_CLIAPP_OutDrop(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile);
/* 1 when the output is the standard output: the command's own lines then go to stderr. */
int VXQ_F_CLIAPP_OutIsStdout(const _VXQ_S_CLIAPP_OUTFILE *in_ptFile);
/* The output as reports name it: "'<path>'" or "the standard output". */
std::string VXQ_F_CLIAPP_OutName(const _VXQ_S_CLIAPP_OUTFILE *in_ptFile);
/* Refuses (status 2, after the report) an --out of "-" while the standard output
 * is a terminal: video is for a pipe or a file. Returns -1 when the output is usable. */
int VXQ_F_CLIAPP_OutCheckStream(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sPath);

/* A progress bar "[#####     ]  45% 123456/270000 bytes" on a terminal (stderr);
 * nothing when stderr is not a terminal. in_qwTotal 0: bytes only. */
void VXQ_F_CLIAPP_Progress(uint64_t in_qwDone, uint64_t in_qwTotal);
/* Ends the progress line (a newline on a terminal). */
void VXQ_F_CLIAPP_ProgressEnd(void);

/* Writes bytes as text when printable, otherwise as a hex dump, to stdout. */
void VXQ_F_CLIAPP_PrintData(const std::vector<uint8_t> &in_tData);

/* The commands, each taking the context with tArgs set. */
int VXQ_F_CLICMD_Info(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Live(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Ptz(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_IFrame(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Quality(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Records(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Download(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Talk(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Alarms(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Config(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Net(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Users(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Passwd(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Serial(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Custom(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Ability(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Version(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Upgrade(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Reboot(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Stop(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Search(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Trace(_VXQ_S_CLIAPP_CTX *inout_ptCtx);
int VXQ_F_CLICMD_Log(_VXQ_S_CLIAPP_CTX *inout_ptCtx);

#endif
