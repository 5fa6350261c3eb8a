/*
 * h264src.h - the simulator's video sources: H.264 Annex-B clips cut into
 * access units, and a synthetic source for channels that have no clip.
 *
 * Owns a loaded clip (the file in one heap buffer plus its access-unit table
 * and the size from its first SPS) and the pacing state of one source. A clip
 * is read-only once loaded, so the sources of several feeder threads may share
 * it; one source belongs to one thread. LoadClip/SplitClip allocate, FreeClip
 * frees; SourceInit allocates the synthetic buffer, SourceFree frees it. A
 * frame handed out points into the clip or the source until the next call.
 *
 * Invariant: a clip's access units are contiguous from its first start code to
 * its end, so sending them in order reproduces the stream byte for byte. Frame
 * type 1 is an I-frame (the unit holds an IDR slice), all others are type 2.
 */
#ifndef VXQ_SIM_H264SRC_H
#define VXQ_SIM_H264SRC_H

#include <stddef.h>
#include <stdint.h>

/* Frame types as the media input functions take them. */
#define VXQ_SIM_FRAME_TYPE_I 1
#define VXQ_SIM_FRAME_TYPE_P 2

/* NAL unit types the splitter tells apart. */
#define VXQ_SIM_NAL_SLICE 1
#define VXQ_SIM_NAL_SLICE_DPA 2
#define VXQ_SIM_NAL_SLICE_DPC 4
#define VXQ_SIM_NAL_IDR 5
#define VXQ_SIM_NAL_SEI 6
#define VXQ_SIM_NAL_SPS 7
#define VXQ_SIM_NAL_PPS 8
#define VXQ_SIM_NAL_AUD 9

/* A clip larger than this is refused: the simulator keeps clips in memory. */
#define VXQ_SIM_CLIP_MAX_BYTES (64u * 1024u * 1024u)

/* One NAL unit inside a byte stream. Offsets are from the start of the stream. */
typedef struct _VXQ_S_SIMH264_NAL {
    uint32_t dwStart;   /* first byte of its start code (the zero_byte of a 4-byte code) */
    uint32_t dwPayload; /* the NAL header byte, right behind the start code */
    uint32_t dwEnd;     /* one past its last byte; trailing zero bytes are not counted */
    uint32_t dwNext;    /* where the next start code begins (or the stream end) */
    uint8_t ucType;     /* nal_unit_type, low 5 bits of the header byte */
} _VXQ_S_SIMH264_NAL;

/* One access unit: bytes [dwOffset, dwOffset + dwLen) of the clip. */
typedef struct _VXQ_S_SIMH264_AU {
    uint32_t dwOffset;
    uint32_t dwLen;
    int32_t iFrameType; /* VXQ_SIM_FRAME_TYPE_I or VXQ_SIM_FRAME_TYPE_P */
} _VXQ_S_SIMH264_AU;

/* A clip split into access units. */
typedef struct _VXQ_S_SIMH264_CLIP {
    uint8_t *pData;          /* the stream, owned */
    uint32_t dwDataLen;
    _VXQ_S_SIMH264_AU *pAu;  /* owned, dwAuNum entries */
    uint32_t dwAuNum;
    uint32_t dwIFrameNum;
    uint16_t usWidth;        /* from the first sequence parameter set */
    uint16_t usHeight;
} _VXQ_S_SIMH264_CLIP;

/* Pacing and content of one video source (one channel and stream). */
typedef struct _VXQ_S_SIMH264_SOURCE {
    const _VXQ_S_SIMH264_CLIP *pClip; /* null: synthetic */
    int32_t iFrameRate;               /* frames per second, >= 1 */
    uint32_t dwNextAu;                /* clip: index of the next access unit */
    uint32_t dwSeq;                   /* frames handed out so far */
    int32_t bStarted;                 /* the schedule has its start tick */
    uint32_t dwStartTick;             /* tick (ms) at which frame dwSeqBase was due */
    uint32_t dwSeqBase;               /* frame number the schedule counts from */
    /* synthetic */
    int32_t iGop;                     /* an I-frame every iGop frames, >= 1 */
    int32_t iBitRate;                 /* kbit/s the sizes aim at */
    uint32_t dwRand;                  /* size jitter generator state */
    uint8_t *pSynBuf;                 /* owned frame buffer */
    uint32_t dwSynBufSize;
} _VXQ_S_SIMH264_SOURCE;

/* One frame handed out by a source. */
typedef struct _VXQ_S_SIMH264_FRAME {
    const uint8_t *pData;
    uint32_t dwLen;
    int32_t iFrameType;
    uint32_t dwTimeStamp; /* ms since the source's first frame: seq * 1000 / rate */
    uint32_t dwSeq;
} _VXQ_S_SIMH264_FRAME;

/* Finds the NAL unit whose start code begins at or after *inout_pdwPos in the
 * in_dwLen bytes at in_pBuf (3-byte 00 00 01 or 4-byte 00 00 00 01 codes).
 * Returns 1 and fills out_pNal, moving *inout_pdwPos to out_pNal->dwNext;
 * returns 0 when no further start code exists. */
int VXQ_F_SIMH264_NextNal(const uint8_t *in_pBuf, uint32_t in_dwLen, uint32_t *inout_pdwPos,
                          _VXQ_S_SIMH264_NAL *out_pNal);

/* Copies the NAL payload in_pNal (header byte first) to out_pRbsp without its
 * emulation-prevention bytes (the 03 of every 00 00 03). Writes at most
 * in_dwSize bytes; returns the count written. */
uint32_t VXQ_F_SIMH264_Unescape(const uint8_t *in_pNal, uint32_t in_dwLen, uint8_t *out_pRbsp,
                                uint32_t in_dwSize);

/* Reads the picture size from a sequence parameter set NAL unit (header byte
 * first, still escaped). Returns 1 with the cropped width and height in
 * pixels, 0 for a unit that is not an SPS, is cut short or holds values out of
 * range (nothing is read past in_dwLen). */
int VXQ_F_SIMH264_ParseSps(const uint8_t *in_pNal, uint32_t in_dwLen, uint16_t *out_pusWidth,
                           uint16_t *out_pusHeight);

/* Splits the in_dwLen bytes at in_pData (copied) into access units. Returns 1
 * with out_pClip filled; 0 (out_pClip cleared, a log line written) when the
 * stream holds no slice, no readable SPS, or memory runs out. */
int VXQ_F_SIMH264_SplitClip(const uint8_t *in_pData, uint32_t in_dwLen, _VXQ_S_SIMH264_CLIP *out_pClip);

/* Reads the file in_sPath and splits it as VXQ_F_SIMH264_SplitClip. 0 when the
 * file cannot be read, is empty or larger than VXQ_SIM_CLIP_MAX_BYTES. */
int VXQ_F_SIMH264_LoadClip(const char *in_sPath, _VXQ_S_SIMH264_CLIP *out_pClip);

/* Frees what the clip owns and clears it. A cleared or null record is accepted. */
void VXQ_F_SIMH264_FreeClip(_VXQ_S_SIMH264_CLIP *inout_pClip);

/* Prepares a source. With in_pClip it loops the clip's access units (the clip
 * must outlive the source); with null it makes synthetic frames of in_iBitRate
 * kbit/s with an I-frame every in_iGop frames. A rate below 1 counts as 1, a
 * GOP below 1 as 1, a bit rate below 8 as 8. Returns 0 only when the synthetic
 * buffer cannot be allocated. */
int VXQ_F_SIMH264_SourceInit(_VXQ_S_SIMH264_SOURCE *out_pSrc, const _VXQ_S_SIMH264_CLIP *in_pClip,
                             int32_t in_iFrameRate, int32_t in_iGop, int32_t in_iBitRate);

/* Frees the synthetic buffer and clears the source. Null is accepted. */
void VXQ_F_SIMH264_SourceFree(_VXQ_S_SIMH264_SOURCE *inout_pSrc);

/* Milliseconds from in_dwNowTick until the next frame is due (0: due now). */
uint32_t VXQ_F_SIMH264_SourceWaitMs(const _VXQ_S_SIMH264_SOURCE *in_pSrc, uint32_t in_dwNowTick);

/* Hands out the next frame if it is due at in_dwNowTick (ms tick): returns 1
 * with out_pFrame filled, 0 when it is not due yet. The first call starts the
 * schedule. A source that falls more than one second behind (a stalled feeder)
 * restarts its schedule at in_dwNowTick instead of sending a burst. */
int VXQ_F_SIMH264_SourceNext(_VXQ_S_SIMH264_SOURCE *inout_pSrc, uint32_t in_dwNowTick,
                             _VXQ_S_SIMH264_FRAME *out_pFrame);

/* Moves a clip source back to the clip's first I-frame, so that the next frame
 * handed out starts a group of pictures. Pacing is kept. */
void VXQ_F_SIMH264_SourceRewind(_VXQ_S_SIMH264_SOURCE *inout_pSrc);

#endif /* VXQ_SIM_H264SRC_H */
