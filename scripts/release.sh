#!/usr/bin/env bash
# Writes the release into dist/: the 32- and 64-bit Windows zips, the Debian
# packages liblurn0 and liblurn-dev, the source tarball (git archive of HEAD)
# and SHA256SUMS. Builds the library in each preset's tree (build/native,
# build/win32, build/win64), keeping what a tree was configured with, and
# packages it with CPack.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/.*LURN_VERSION_STRING "\(.*\)"/\1/p' include/lurn.h)
jobs=$(nproc)
arch=$(dpkg --print-architecture)
rm -rf dist
mkdir -p dist

# A cache entry of a tree that exists, else the given default.
cached() {
  local value
  value=$(sed -n "s/^$2:[A-Z]*=//p" "build/$1/CMakeCache.txt" 2>/dev/null)
  echo "${value:-$3}"
}

for preset in native win32 win64; do
  if [ $preset = native ]; then
    # Debian's paths: /usr, the multiarch library folder.
    options=(-DCMAKE_INSTALL_PREFIX=/usr)
  else
    options=(-DCMAKE_BUILD_TYPE=Release
             "-DBUILD_TESTING=$(cached $preset BUILD_TESTING OFF)")
  fi
  cmake --preset $preset "${options[@]}" >/dev/null
  targets=(lurn)
  [ $preset = native ] || targets+=(lurn_msvc_lib)
  cmake --build --preset $preset -j "$jobs" --target "${targets[@]}"
  (cd "build/$preset" && cpack -B _release >/dev/null)
  find "build/$preset/_release" -maxdepth 1 \( -name '*.zip' -o -name '*.deb' \) \
    -exec mv -t dist {} +
  rm -rf "build/$preset/_release"
done

git diff --quiet HEAD ||
  echo "release: the tarball holds HEAD, without the uncommitted changes" >&2
git archive --format=tar.gz --prefix="lurn-$version/" \
  -o "dist/lurn-$version.tar.gz" HEAD
for file in lurn-$version-win32.zip lurn-$version-win64.zip \
  liblurn0_$version-1_$arch.deb liblurn-dev_$version-1_$arch.deb; do
  [ -f "dist/$file" ] || { echo "release: no dist/$file" >&2; exit 1; }
done
(cd dist && sha256sum -- * >SHA256SUMS)
ls -l dist
