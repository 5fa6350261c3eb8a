/*
 * g711.cpp - mu-law coding and the tone generator.
 */
#include "g711.h"

#include <math.h>
#include <string.h>

/* The mu-law bias (33 at 14 bits, shifted to 16-bit samples) and the largest
 * magnitude that still fits the top segment once the bias is added. */
#define PR_ULAW_BIAS 0x84
#define PR_ULAW_CLIP 32635

static const double s_fTwoPi = 6.283185307179586476925;

uint8_t VXQ_F_SIMG711_LinearToUlaw(int16_t in_sSample)
{
    int32_t iValue = in_sSample;
    uint8_t ucSign = 0;
    if (iValue < 0) {
        iValue = -iValue;
        ucSign = 0x80;
    }
    if (iValue > PR_ULAW_CLIP)
        iValue = PR_ULAW_CLIP;
    iValue += PR_ULAW_BIAS;
    /* Segment = position of the highest set bit above bit 7 (0..7). */
    uint8_t ucSegment = 0;
    for (int32_t iTop = iValue >> 8; iTop; iTop >>= 1)
        ucSegment++;
    uint8_t ucMantissa = (uint8_t)((iValue >> (ucSegment + 3)) & 0x0F);
    return (uint8_t)~(ucSign | (ucSegment << 4) | ucMantissa);
}

int16_t VXQ_F_SIMG711_UlawToLinear(uint8_t in_ucCode)
{
    uint8_t ucCode = (uint8_t)~in_ucCode;
    int32_t iSegment = (ucCode >> 4) & 0x07;
    int32_t iValue = (((ucCode & 0x0F) << 3) + PR_ULAW_BIAS) << iSegment;
    iValue -= PR_ULAW_BIAS;
    return (int16_t)((ucCode & 0x80) ? -iValue : iValue);
}

int VXQ_F_SIMG711_ToneInit(_VXQ_S_SIMG711_TONE *out_pTone, int32_t in_iFrequencyHz, int32_t in_iSampleRate,
                           int32_t in_iAmplitude)
{
    if (out_pTone == NULL)
        return 0;
    memset(out_pTone, 0, sizeof(*out_pTone));
    if (in_iSampleRate < 1 || in_iFrequencyHz < 0 || in_iFrequencyHz > in_iSampleRate / 2)
        return 0;
    out_pTone->fStep = s_fTwoPi * (double)in_iFrequencyHz / (double)in_iSampleRate;
    out_pTone->iAmplitude = in_iAmplitude < 0 ? 0 : (in_iAmplitude > 32767 ? 32767 : in_iAmplitude);
    return 1;
}

/* sin(x) for x in [0, 2 pi), to about 1e-11: far finer than a 16-bit sample.
 * The tone does not call the C library's sin(): on 32-bit PowerPC, glibc's
 * sin() executes mffscrni (an ISA 3.0 instruction that older cores run as
 * mffs), which user-mode emulation of those cores rejects as illegal, and the
 * simulator must run there to test a big-endian host end to end. */
static double PR_Sine(double in_fX)
{
    static const double s_fPi = 3.14159265358979323846;
    double fX = in_fX > s_fPi ? in_fX - s_fTwoPi : in_fX; /* [-pi, pi] */
    if (fX > s_fPi / 2)
        fX = s_fPi - fX;
    else if (fX < -s_fPi / 2)
        fX = -s_fPi - fX; /* [-pi/2, pi/2], same sine */
    double fX2 = fX * fX;
    /* Taylor series to x^15, Horner form: 1/3!, 1/5!, ... as the divisions of each step. */
    double fSum = 1.0;
    for (int i = 15; i > 1; i -= 2)
        fSum = 1.0 - fX2 / (double)(i * (i - 1)) * fSum;
    return fX * fSum;
}

void VXQ_F_SIMG711_ToneFrame(_VXQ_S_SIMG711_TONE *inout_pTone, uint8_t *out_pBuf, uint32_t in_dwSamples)
{
    if (inout_pTone == NULL || out_pBuf == NULL)
        return;
    for (uint32_t i = 0; i < in_dwSamples; i++) {
        double fSample = (double)inout_pTone->iAmplitude * PR_Sine(inout_pTone->fPhase);
        out_pBuf[i] = VXQ_F_SIMG711_LinearToUlaw((int16_t)lrint(fSample));
        inout_pTone->fPhase += inout_pTone->fStep;
        if (inout_pTone->fPhase >= s_fTwoPi)
            inout_pTone->fPhase -= s_fTwoPi;
    }
}
