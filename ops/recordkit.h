/*
 * ops/recordkit.h - wire forms of the record family.
 *
 * Client messages are kept in wire order (little-endian) and event and order
 * bodies in host order; these move the record family's compound fields
 * (date-times, the 220-byte file record, the 192-byte extended record, the
 * alarm table of a search by time) between the two, field by field, so the
 * service is right on any host. Pure functions (any thread); buffers stay the
 * caller's.
 */
#ifndef VXQ_OPS_RECORDKIT_H
#define VXQ_OPS_RECORDKIT_H

#include "vxq_dps.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Length of a date-time on the wire. */
#define VXQ_DPS_WIRE_TIME_LEN 12
/* Room for the text of VXQ_F_DPS_MW_RecordTimeText. */
#define VXQ_DPS_RECORD_TIME_TEXT_SIZE 40

/* Reads a 12-byte wire date-time (u16 year, u16 month, four bytes, u32 last
 * field) into the host record. */
void VXQ_F_DPS_MW_RecordGetTime(const uint8_t *in_pWire, _VXQ_S_TD_DATE_TIME *out_ptTime);
/* Writes the host record as a 12-byte wire date-time. */
void VXQ_F_DPS_MW_RecordPutTime(uint8_t *out_pWire, const _VXQ_S_TD_DATE_TIME *in_ptTime);

/* Writes the 220-byte file record that starts at in_pHost (host order, any
 * alignment) to out_pWire in wire order. The two may not overlap. */
void VXQ_F_DPS_MW_RecordPutFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost);

/* Writes the 192-byte extended file record at in_pHost (host order) to
 * out_pWire in wire order, by the layout given in vxq_dps.h. No overlap. */
void VXQ_F_DPS_MW_RecordPutNspFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost);

/* "YYYY-MM-DD hh:mm:ss" of a date-time, for debug lines; returns out_sText
 * (at least VXQ_DPS_RECORD_TIME_TEXT_SIZE bytes). */
const char *VXQ_F_DPS_MW_RecordTimeText(const _VXQ_S_TD_DATE_TIME *in_ptTime, char *out_sText);

/* The alarm event table of a search by time: at most 16 entries; a count
 * outside 0..16 is clamped and only that many table bytes are passed on.
 * out_pTable has room for 16 entries. Returns the count kept. */
int32_t VXQ_F_DPS_MW_RecordGetAlarmTable(const uint8_t *in_pWireTable, int32_t in_iWireNum,
                                         uint8_t *out_pTable);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_RECORDKIT_H */
