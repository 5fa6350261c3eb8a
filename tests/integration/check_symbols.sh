#!/usr/bin/env bash
# Fails when the shared library exports anything but the public C API: every
# defined dynamic symbol must be a VXQ_F_ function or one of the digest and
# encoding functions of vxq_digest.h, and none may be C++-mangled. With the
# include folder given, every function a public header declares with VXQ_API
# must also be exported (a declared but unbuilt function fails at the host's
# link, not ours).
#   check_symbols.sh <path to libvxqdps.so> [include folder]
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
if [ -n "${2:-}" ]; then
  declared=$(grep -hv '^[[:space:]]*#' "$2"/vxq_*.h | tr '\n' ' ' | grep -o 'VXQ_API [^;(]*(' |
    sed -E 's/.*[ *]([A-Za-z0-9_]+)\($/\1/' | sort -u)
  [ -n "$declared" ] || { echo "no VXQ_API declarations found in $2"; bad=1; }
  for name in $declared; do
    case "$exported" in
      *" $name "*) ;;
      *) echo "declared in a public header but not exported: $name"; bad=1 ;;
    esac
  done
fi
[ "$bad" = 0 ] && echo "$count exported symbols, all public C API"
exit "$bad"
