/*
 * cfgblock.h - byte-order layouts of the configuration parameter blocks.
 *
 * A configuration request carries an opaque block whose kind is its
 * configuration function id. The service never interprets a block, but the
 * host application reads it in host order, so on a big-endian host every 16-
 * and 32-bit field is reversed on the way in and on the way out. This module
 * owns the layout table (constant) and the converter; it keeps no state and
 * any thread may call it. Blocks belong to the caller and are changed in place.
 *
 * Invariant: no byte at or past in_iLen is ever read or written. A block
 * shorter than its layout is refused whole (nothing converted) rather than
 * converted in part.
 */
#ifndef VXQ_WIRE_CFGBLOCK_H
#define VXQ_WIRE_CFGBLOCK_H

#include <stdint.h>

/* Directions of a block. */
#define VXQ_DPS_CFG_FROM_WIRE 1 /* came from a client */
#define VXQ_DPS_CFG_TO_WIRE 0   /* goes to a client */

/* A run of equally spaced fields of one width: offsets dwOffset,
 * dwOffset + dwStride, ... (usCount fields). For a counted block the offsets
 * are inside each entry. */
typedef struct _VXQ_S_DPS_CFG_RUN {
    uint32_t dwOffset;
    uint32_t dwStride;
    uint16_t usCount;
    uint8_t ucWidth; /* 2 or 4 */
} _VXQ_S_DPS_CFG_RUN;

/* The layout of one known block kind: constant, never freed. */
typedef struct _VXQ_S_DPS_CFG_LAYOUT {
    int32_t iConfigFuncId;
    uint32_t dwMinSize;  /* bytes the layout covers; the block may be longer */
    uint8_t bCounted;    /* 1: u32 count at 0, then that many fixed entries */
    uint8_t ucFieldRuns; /* number of field runs in ptRuns */
    const struct _VXQ_S_DPS_CFG_RUN *ptRuns;
} _VXQ_S_DPS_CFG_LAYOUT;

/* Entry size of the counted block (id 4): 104 bytes from offset 4. */
#define VXQ_DPS_CFG_COUNTED_ENTRY_SIZE 104u

/* The layout of a configuration function id, or null for an unknown id. */
const _VXQ_S_DPS_CFG_LAYOUT *VXQ_F_DPS_MW_FindConfigLayout(int32_t in_iConfigFuncId);

/* Converts a block between wire order and host order in place, on a big-endian
 * host; on a little-endian host it only checks. in_iDirection is
 * VXQ_DPS_CFG_FROM_WIRE or VXQ_DPS_CFG_TO_WIRE (only the counted block
 * converts in one direction alone: towards the wire).
 * Returns 1 for a known id whose block is long enough for its layout. An
 * unknown id shows "Error config function ID: %d." and returns 0; a block too
 * short for its layout (or its entry count) is logged and returns 0; in both
 * cases nothing is changed. */
int VXQ_F_DPS_MW_TransConfigParamLittleMode(int in_iDirection, int32_t in_iConfigFuncId, uint8_t *inout_pucBlock,
                                            int32_t in_iLen);

/* The converter itself, reversing on any host (VXQ_F_DPS_MW_TransConfigParam-
 * LittleMode calls it only on a big-endian host; tests call it directly). Same
 * arguments, checks, log lines and results. */
int VXQ_F_DPS_MW_PR_SwapConfigParam(int in_iDirection, int32_t in_iConfigFuncId, uint8_t *inout_pucBlock,
                                    int32_t in_iLen);

#endif /* VXQ_WIRE_CFGBLOCK_H */
