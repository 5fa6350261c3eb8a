/*
 * vxq_textfile.h - buffered text and byte files behind a handle.
 *
 * A file handle owns one standard stream and a heap copy of its path; it is
 * made by VXQ_F_OpenFile and released by VXQ_F_CloseFile (which accepts null).
 * The line readers fill a buffer that the caller keeps between calls and
 * releases once with VXQ_F_FreeReadBuf; the readers grow or allocate it as
 * needed, so the caller starts with a null buffer and a size of 0.
 *
 * A handle belongs to one thread at a time; distinct handles may be used from
 * distinct threads. Nothing here ends the process: an allocation failure is
 * reported through the result of the call.
 */
#ifndef VXQ_TEXTFILE_H
#define VXQ_TEXTFILE_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Opaque file handle. */
typedef struct _VXQ_S_FILE_DATA _VXQ_S_FILE_DATA;

/* Open modes of VXQ_F_OpenFile; any other value opens for reading. */
#define VXQ_FILE_MODE_READ 0       /* text, read */
#define VXQ_FILE_MODE_WRITE 1      /* text, write, truncating */
#define VXQ_FILE_MODE_WRITE_READ 2 /* text, write and read, truncating */
#define VXQ_FILE_MODE_READ_BIN 3   /* bytes, read */
#define VXQ_FILE_MODE_WRITE_BIN 4  /* bytes, write, truncating */
#define VXQ_FILE_MODE_UPDATE_BIN 5 /* bytes, read and write, not truncating */

/* Growth step and first size of the buffer of VXQ_F_ReadLine, in bytes. */
#define VXQ_FILE_LINE_STEP 4096
/* Size of the buffer of VXQ_F_ReadLineEx and the most one call returns, in bytes. */
#define VXQ_FILE_LINE_EX_SIZE 40960

/* Result of VXQ_F_ReadLine at the end of the file, and when its buffer could not grow. */
#define VXQ_FILE_LINE_END (-1)
#define VXQ_FILE_LINE_NOMEM (-2)
/* Result of VXQ_F_ReadLineEx at the end of the file. */
#define VXQ_FILE_LINE_EX_END (-9)

/* Opens in_sPath in in_iMode (VXQ_FILE_MODE_*). Returns the handle, or null if
 * the path is null, the file cannot be opened or memory is short. */
VXQ_API _VXQ_S_FILE_DATA *VXQ_F_OpenFile(const char *in_sPath, int in_iMode);

/* Closes the stream and frees the handle; a null handle is ignored. Returns 1
 * when the stream closed cleanly (buffered data written), 0 otherwise. */
VXQ_API int VXQ_F_CloseFile(_VXQ_S_FILE_DATA *in_pFile);

/* The path the handle was opened with (owned by the handle), or null. */
VXQ_API const char *VXQ_F_GetFilePath(const _VXQ_S_FILE_DATA *in_pFile);

/* Reads up to in_iLen bytes into out_pBuf. Returns the count read (> 0), 0 at
 * the end of the file when nothing was read, -1 on a read error or bad argument. */
VXQ_API int VXQ_F_ReadData(_VXQ_S_FILE_DATA *in_pFile, void *out_pBuf, int in_iLen);

/* Reads one whole line of any length into *inout_psBuf (capacity *inout_piSize,
 * first VXQ_FILE_LINE_STEP bytes, grown by that step while the line does not
 * fit). The line end (CR LF, LF or CR) is removed and the text zero-terminated.
 * Returns the line length (0 for an empty line; a last line without a line end
 * counts), VXQ_FILE_LINE_END at the end of the file when nothing was read, or
 * VXQ_FILE_LINE_NOMEM when the buffer cannot grow (the buffer stays valid and
 * owned by the caller; the characters read so far are dropped). */
VXQ_API int VXQ_F_ReadLine(_VXQ_S_FILE_DATA *in_pFile, char **inout_psBuf, int *inout_piSize);

/* One read of at most VXQ_FILE_LINE_EX_SIZE - 1 characters into a buffer of
 * VXQ_FILE_LINE_EX_SIZE bytes allocated at the first call (a longer line comes
 * back in pieces); a trailing CR LF, LF or CR is removed. Returns the length,
 * VXQ_FILE_LINE_EX_END at the end of the file, 0 on a read error or when the
 * buffer cannot be allocated. */
VXQ_API int VXQ_F_ReadLineEx(_VXQ_S_FILE_DATA *in_pFile, char **inout_psBuf, int *inout_piSize);

/* Writes the text without its terminating zero. 1 on success or for a null text. */
VXQ_API int VXQ_F_WriteString(_VXQ_S_FILE_DATA *in_pFile, const char *in_sText);

/* Writes one character. 1 on success. */
VXQ_API int VXQ_F_WriteChar(_VXQ_S_FILE_DATA *in_pFile, char in_cChar);

/* The size of the file in bytes (the stream position is kept), or -1 on an
 * error or a null handle. */
VXQ_API int64_t VXQ_F_GetFileSize(_VXQ_S_FILE_DATA *in_pFile);

/* Moves the stream back to the start of the file. 1 on success. */
VXQ_API int VXQ_F_SetFileBeginPos(_VXQ_S_FILE_DATA *in_pFile);

/* Frees a buffer filled by VXQ_F_ReadLine or VXQ_F_ReadLineEx; null is ignored. */
VXQ_API void VXQ_F_FreeReadBuf(char *in_sBuf);

VXQ_EXTERN_C_END

#endif /* VXQ_TEXTFILE_H */
