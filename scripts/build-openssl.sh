#!/usr/bin/env bash
# Builds OpenSSL's libcrypto from Debian's source package for one mingw target
# (i686 or x86_64) into a cache outside the clone. Prints the install prefix.
# Rebuilds only when the cached build for this version and target is missing.
set -euo pipefail
source "$(dirname "$0")/common.sh"

target=${1:?usage: build-openssl.sh i686|x86_64}
case "$target" in
  i686)   os=mingw;   triplet=i686-w64-mingw32 ;;
  x86_64) os=mingw64; triplet=x86_64-w64-mingw32 ;;
  *) die "unknown target $target" ;;
esac

src_list=/etc/apt/sources.list.d/zentrava-deb-src.sources
ensure_deb_src() {
  [ -f "$src_list" ] && return 0
  # Source entries mirror the binary ones the machine already uses, in
  # whichever of apt's two formats it keeps them.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
  elif [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    src_list=/etc/apt/sources.list.d/zentrava-deb-src.list
    [ -f "$src_list" ] && return 0
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > "$src_list"
  else
    die "no apt sources found to mirror as source entries"
  fi
  apt-get update -qq >/dev/null
}

# The security suite may list a version whose source it does not carry; the
# main suite's version always downloads, so try candidates newest first.
source_versions() {
  apt-cache showsrc openssl 2>/dev/null | awk '/^Package: /{p=$2} /^Version: /{if (p=="openssl") print $2}' | sort -Vru
}

ensure_deb_src
mkdir -p "$CACHE_DIR/src"
version=""
for v in $(source_versions); do
  prefix="$CACHE_DIR/openssl-$v-$target"
  if [ -f "$prefix/lib/libcrypto.a" ]; then echo "$prefix"; exit 0; fi
  if [ -d "$CACHE_DIR/src/openssl-$v" ] || \
     (cd "$CACHE_DIR/src" && mkdir -p "dl-$v" && cd "dl-$v" && \
      apt-get source --download-only -qq "openssl=$v" >/dev/null 2>&1); then
    version=$v; break
  fi
done
[ -n "$version" ] || die "no openssl source package could be downloaded"
prefix="$CACHE_DIR/openssl-$version-$target"

srcdir="$CACHE_DIR/src/openssl-$version"
if [ ! -d "$srcdir" ]; then
  dl="$CACHE_DIR/src/dl-$version"
  tmp=$(mktemp -d "$CACHE_DIR/src/unpack.XXXXXX")
  (cd "$tmp" && dpkg-source -x --no-check "$dl"/openssl_*.dsc src >/dev/null)
  mv "$tmp/src" "$srcdir"; rm -rf "$tmp"
fi

work=$(mktemp -d "$CACHE_DIR/build-$target.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -a "$srcdir/." "$work/"
log "building OpenSSL $version for $target (a few minutes)"
(
  cd "$work"
  # 0x0501 keeps libcrypto on XP-era APIs (no SRW locks, InitOnce or
  # BCryptGenRandom), so the i686 product still loads on Windows XP.
  extra=()
  [ "$target" = i686 ] && extra=(-D_WIN32_WINNT=0x0501)
  ./Configure "$os" no-shared no-asm no-tests --cross-compile-prefix="$triplet-" \
    --prefix="$prefix.tmp" --libdir=lib "${extra[@]}" >build.log 2>&1
  make -j"$(nproc)" build_libs >>build.log 2>&1 || { tail -40 build.log >&2; exit 1; }
  make install_dev >>build.log 2>&1 || { tail -40 build.log >&2; exit 1; }
)
rm -rf "$prefix"; mv "$prefix.tmp" "$prefix"
echo "$prefix"
