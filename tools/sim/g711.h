/*
 * g711.h - the simulator's audio: a sine tone coded as G.711 mu-law.
 *
 * Owns the mu-law encoder and decoder (plain table-free functions) and the
 * state of one tone generator (its phase), which belongs to one feeder
 * thread. Nothing here allocates; the caller provides every buffer.
 *
 * Invariant: the phase runs on across frames, so consecutive frames join into
 * one continuous tone without clicks, whatever the frame length.
 */
#ifndef VXQ_SIM_G711_H
#define VXQ_SIM_G711_H

#include <stdint.h>

#define VXQ_SIM_G711_SAMPLE_RATE 8000
#define VXQ_SIM_G711_FRAME_MS 20
/* One 20 ms frame at 8 kHz, one byte per sample. */
#define VXQ_SIM_G711_FRAME_BYTES (VXQ_SIM_G711_SAMPLE_RATE * VXQ_SIM_G711_FRAME_MS / 1000)
#define VXQ_SIM_G711_TONE_HZ 1000
/* Default amplitude: about -10 dB below full scale of 16-bit samples. */
#define VXQ_SIM_G711_TONE_AMPLITUDE 10000

/* One sine generator. */
typedef struct _VXQ_S_SIMG711_TONE {
    double fPhase;      /* radians, kept in [0, 2 pi) */
    double fStep;       /* radians per sample */
    int32_t iAmplitude; /* peak value of the 16-bit samples */
} _VXQ_S_SIMG711_TONE;

/* The mu-law code of one 16-bit linear sample (0 -> 0xFF, 32767 -> 0x80,
 * -32768 -> 0x00). Magnitudes above 32635 are clipped there. */
uint8_t VXQ_F_SIMG711_LinearToUlaw(int16_t in_sSample);

/* The 16-bit linear value of one mu-law code (0xFF -> 0, 0x80 -> 32124). */
int16_t VXQ_F_SIMG711_UlawToLinear(uint8_t in_ucCode);

/* Prepares a tone of in_iFrequencyHz at in_iSampleRate samples per second with
 * peak in_iAmplitude (clamped to 0..32767), starting at phase 0. Returns 0 for a
 * sample rate below 1 or a frequency outside 0..sample rate / 2. */
int VXQ_F_SIMG711_ToneInit(_VXQ_S_SIMG711_TONE *out_pTone, int32_t in_iFrequencyHz, int32_t in_iSampleRate,
                           int32_t in_iAmplitude);

/* Writes the next in_dwSamples mu-law bytes of the tone to out_pBuf and moves
 * the phase on. */
void VXQ_F_SIMG711_ToneFrame(_VXQ_S_SIMG711_TONE *inout_pTone, uint8_t *out_pBuf, uint32_t in_dwSamples);

#endif /* VXQ_SIM_G711_H */
