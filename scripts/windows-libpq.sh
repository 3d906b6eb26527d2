#!/usr/bin/env bash
# Cross-builds libpq for 64-bit Windows (libpq.dll with OpenSSL built in) from
# Debian's own openssl and postgresql-15 sources, once per machine, into a
# cache folder later runs reuse. Prints the folder's path on its last line.
#   ZARVEX_WINDOWS_LIBPQ_CACHE  cache folder (default /var/tmp/zarvex-windows-libpq)
set -euo pipefail
cd "$(dirname "$0")/.."
cache=${ZARVEX_WINDOWS_LIBPQ_CACHE:-/var/tmp/zarvex-windows-libpq}
prefix=$cache/libpq
stamp=$prefix/.zarvex-complete
jobs=$(nproc)
step() { current_step=$1; echo "windows-libpq.sh: $1" >&2; }
trap 'echo "windows-libpq.sh: FAILED at step: ${current_step:-start} (log: $cache/logs)" >&2' ERR
if [ -f "$stamp" ]; then echo "$prefix"; exit 0; fi

step "install the cross compiler"
bash scripts/install-deps.sh windows
bash scripts/deb-src.sh

mkdir -p "$cache/src" "$cache/logs"
fetch() {  # source package, folder glob
  if ! compgen -G "$cache/src/$2" >/dev/null; then
    # Newest first; a mirror may list a version whose files it no longer has.
    local version
    for version in $(apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -rV); do
      rm -f "$cache/src/$1"_*
      if (cd "$cache/src" && apt-get source --download-only "$1=$version" && dpkg-source -x "$1"_*.dsc) \
        >>"$cache/logs/fetch-$1.log" 2>&1; then break; fi
    done
  fi
  compgen -G "$cache/src/$2" | head -1
}
step "download openssl and postgresql-15 sources"
openssl_src=$(fetch openssl 'openssl-[0-9]*/')
pg_src=$(fetch postgresql-15 'postgresql-15-*/')

cc=x86_64-w64-mingw32-gcc-posix
tools=(CC=$cc AR=x86_64-w64-mingw32-ar RANLIB=x86_64-w64-mingw32-ranlib
       RC=x86_64-w64-mingw32-windres WINDRES=x86_64-w64-mingw32-windres)
rm -rf "$cache/build-openssl" "$cache/build-pg" "$prefix"
mkdir -p "$prefix"
start=$(date +%s)

step "build OpenSSL (static, libraries only)"
cp -a "$openssl_src" "$cache/build-openssl"
(cd "$cache/build-openssl" &&
  env "${tools[@]}" ./Configure mingw64 no-shared no-tests no-module --prefix="$cache/openssl" \
    --libdir=lib --openssldir=/nonexistent &&
  make -j "$jobs" build_libs && make install_dev) >"$cache/logs/openssl.log" 2>&1
openssl_done=$(date +%s)

step "build libpq (a DLL with OpenSSL inside)"
# OpenSSL's static libraries need these Windows ones wherever they are linked.
ssl_libs="-lcrypt32 -lws2_32 -luser32 -ladvapi32 -lgdi32 -lbcrypt"
mkdir -p "$cache/build-pg"
(cd "$cache/build-pg" &&
  env "${tools[@]}" CPPFLAGS="-I$cache/openssl/include" \
    LDFLAGS="-L$cache/openssl/lib -static-libgcc" LIBS="$ssl_libs" \
    "$pg_src/configure" --host=x86_64-w64-mingw32 --with-ssl=openssl \
    --without-readline --without-zlib --without-icu --without-llvm &&
  make -C src/backend generated-headers && make -C src/common -j "$jobs" && make -C src/port -j "$jobs" &&
  make -C src/interfaces/libpq -j "$jobs") >"$cache/logs/libpq.log" 2>&1
pg_done=$(date +%s)

step "collect libpq.dll, its import library and headers"
mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include"
lib=$cache/build-pg/src/interfaces/libpq
cp "$lib/libpq.dll" "$prefix/bin/"
x86_64-w64-mingw32-strip "$prefix/bin/libpq.dll"
# The import library: whichever name this version's build gives it.
import=$(compgen -G "$lib/libpq*.a" | grep -v '/libpq\.a$' | head -1 || true)
[ -n "$import" ] || import=$lib/libpq.a
cp "$import" "$prefix/lib/libpq.dll.a"
cp "$pg_src/src/interfaces/libpq/libpq-fe.h" "$pg_src/src/include/postgres_ext.h" \
   "$cache/build-pg/src/include/pg_config_ext.h" "$prefix/include/"
# The licences the installer names.
cp "$pg_src/COPYRIGHT" "$prefix/LICENSE-PostgreSQL.txt"
cp "$openssl_src/LICENSE.txt" "$prefix/LICENSE-OpenSSL.txt"
{ basename "$pg_src"; basename "$openssl_src"; } > "$prefix/VERSION"
# A DLL that needs a runtime DLL the programs do not ship would fail on a
# clean Windows: only system DLLs are allowed.
needs=$(x86_64-w64-mingw32-objdump -p "$prefix/bin/libpq.dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
for dll in $needs; do
  case $dll in
    libgcc*|libwinpthread*|libssl*|libcrypto*|libstdc++*)
      echo "windows-libpq.sh: libpq.dll needs $dll, which is not shipped" >&2; exit 1 ;;
  esac
done
{
  echo "openssl $((openssl_done - start)) s"
  echo "libpq $((pg_done - openssl_done)) s"
  echo "libpq.dll needs: $(echo $needs)"
} | tee "$cache/figures.txt" >&2
touch "$stamp"
echo "$prefix"
