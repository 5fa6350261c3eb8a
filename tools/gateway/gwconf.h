/*
 * gwconf.h - what dps-gateway serves: its command line, or an INI file listing
 * several devices (read with the library's INI store), turned into one record.
 *
 * Pure parsing on the caller's thread; nothing is kept between calls. A
 * device's name is the first segment of its RTSP paths (rtsp://HOST:PORT/<name>/ch<N>),
 * so it is restricted to letters, digits, '-', '_' and '.'.
 *
 * INI form:
 *   [gateway]   listen = 8554, bind = ADDR
 *   [device0] .. [device63]   name, host, port (7000), user, password,
 *               pcmu_codec (0), pcma_codec (1): the device's audio codec ids
 *               of G.711 mu-law and A-law (-1: none)
 */
#ifndef VXQ_GATEWAY_GWCONF_H
#define VXQ_GATEWAY_GWCONF_H

#include <stdint.h>

#include <string>
#include <vector>

#define VXQ_GWCONF_MAX_DEVICES 64
#define VXQ_GWCONF_DEFAULT_LISTEN 8554
#define VXQ_GWCONF_DEFAULT_DEVICE_PORT 7000

typedef struct _VXQ_S_GWCONF_DEVICE {
    std::string sName;
    std::string sHost;
    uint16_t usPort;
    std::string sUser;
    std::string sPassword;
    int iPcmuCodecId; /* audio codec id of G.711 mu-law, -1 none */
    int iPcmaCodecId; /* audio codec id of G.711 A-law, -1 none */
} _VXQ_S_GWCONF_DEVICE;

typedef struct _VXQ_S_GWCONF_DATA {
    std::vector<_VXQ_S_GWCONF_DEVICE> tDevices;
    int iListenPort;   /* 0..65535; 0: the system picks one */
    std::string sBind; /* empty: every local address */
    int bHelp;         /* --help was asked: print the usage, exit 0 */
} _VXQ_S_GWCONF_DATA;

/* The usage text (several lines, ends with a line feed). */
const char *VXQ_F_GWCONF_Usage(void);

/* Parses argv[1..argc-1] (and the INI file --config names). Returns 1 with
 * *out_ptConf filled, or 0 with one line saying what is wrong in *out_psError
 * (without the program name or a line feed). */
int VXQ_F_GWCONF_Parse(int in_iArgc, const char *const *in_ppArgv, _VXQ_S_GWCONF_DATA *out_ptConf,
                       std::string *out_psError);

#endif
