#!/usr/bin/env bash
# Fails when the shared library exports anything but the public C API: every
# defined dynamic symbol must be a VXQ_F_ function or one of the digest and
# encoding functions of vxq_digest.h, and none may be C++-mangled.
#   check_symbols.sh <path to libvxqdps.so>
set -euo pipefail
lib=$1
allowed_extra=" Base64encode_len Base64encode Base64decode_len Base64decode MDString \
VXQ_TOOLS_MD5_EncodeString md5_packages_string CvtHex int2hex VXQ_TOOLS_MD5_MD5Encrypt \
MD5_enc MD5_Tamberlo "
bad=0
count=0
while read -r _ type name; do
  [ -n "${name:-}" ] || continue
  count=$((count + 1))
  case "$name" in
    _Z*) echo "C++-mangled export: $name ($type)"; bad=1; continue ;;
    VXQ_F_*) continue ;;
    # Instrumentation of a sanitizer build, not part of the library's API.
    __asan_* | __ubsan_* | __sanitizer_* | __odr_asan* | __tsan_*) continue ;;
  esac
  case "$allowed_extra" in
    *" $name "*) continue ;;
  esac
  echo "export outside the public API: $name ($type)"
  bad=1
done < <(nm -D --defined-only "$lib")
[ "$count" -gt 0 ] || { echo "no dynamic symbols read from $lib"; exit 1; }
# Every digest and encoding function of the public header must be there.
exported=" $(nm -D --defined-only "$lib" | awk '{ printf "%s ", $3 }') "
for name in $allowed_extra; do
  case "$exported" in
    *" $name "*) ;;
    *) echo "missing export: $name"; bad=1 ;;
  esac
done
[ "$bad" = 0 ] && echo "$count exported symbols, all public C API"
exit "$bad"
