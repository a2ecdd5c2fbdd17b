#!/usr/bin/env bash
# Writes the release into dist/: the 32- and 64-bit Windows zips, the web
# zip (Emscripten's static library, page side and template), the Debian
# packages liblurn0 and liblurn-dev, the source tarball and SHA256SUMS, every
# one from the same tree: HEAD, unpacked by git archive into a temporary
# folder and built there in build folders of its own (the library alone,
# Release), so the developer's build trees are never touched. Every file is
# a function of the tree: its times are HEAD's commit time
# (SOURCE_DATE_EPOCH), archives list their files in name order, and the
# DLLs carry no link time, so two releases of one commit give the same
# SHA256SUMS.
#   release.sh                refuses a tree with changes or untracked files
#   release.sh --allow-dirty  releases the working tree as it is instead
#                             (tracked changes and files git does not ignore),
#                             still one tree for every artefact
#   release.sh -j N           builds with N jobs; without it
#                             CMAKE_BUILD_PARALLEL_LEVEL, or every core
set -euo pipefail
cd "$(dirname "$0")/.."
dirty=refuse
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
usage() {
  echo "usage: scripts/release.sh [--allow-dirty] [-j N]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
  --allow-dirty) dirty=allow ;;
  -j)
    [ $# -ge 2 ] || usage
    jobs=$2
    shift
    ;;
  -j*) jobs=${1#-j} ;;
  *) usage ;;
  esac
  shift
done
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || usage
arch=$(dpkg --print-architecture)
work=$(mktemp -d /tmp/lurn-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Every time written into the release: the commit's (CPack's Debian
# packages and gzip read it; the zips are given it below).
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)

# The tree to release: HEAD, or the working tree written as a tree object
# through an index of our own (the developer's index stays as it is).
source=HEAD
changes=$(git status --porcelain --untracked-files=all)
if [ -n "$changes" ]; then
  if [ $dirty = refuse ]; then
    echo "release: the tree has uncommitted changes or untracked files" \
      "(commit them, or pass --allow-dirty):" >&2
    head -n 20 <<<"$changes" >&2
    exit 1
  fi
  export GIT_INDEX_FILE=$work/index
  git read-tree HEAD
  git add -A
  tree=$(git write-tree)
  unset GIT_INDEX_FILE
  # As a commit of fixed names and dates: git archive gives a tree's files
  # the current time, and a commit's files the commit's.
  source=$(GIT_AUTHOR_NAME=release GIT_AUTHOR_EMAIL=release \
    GIT_COMMITTER_NAME=release GIT_COMMITTER_EMAIL=release \
    GIT_AUTHOR_DATE="@$SOURCE_DATE_EPOCH +0000" \
    GIT_COMMITTER_DATE="@$SOURCE_DATE_EPOCH +0000" \
    git commit-tree "$tree" -p HEAD -m "the working tree")
  echo "release: from the working tree with its uncommitted changes" \
    "(tree $tree), not from HEAD" >&2
fi
version=$(git show "$source:include/lurn.h" |
  sed -n 's/.*LURN_VERSION_STRING "\(.*\)"/\1/p')
src=$work/lurn-$version
git archive --format=tar --prefix="lurn-$version/" "$source" | tar -x -C "$work"
rm -rf dist
mkdir -p dist
git archive --format=tar.gz --prefix="lurn-$version/" \
  -o "dist/lurn-$version.tar.gz" "$source"

# The same compiler cache for every run: paths under the temporary folder
# are hashed relative to it.
options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF)
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
fi
# The three configure steps at once (each mostly waits on one core), then
# the builds one after another with the jobs asked for.
presets=(native win32 win64 web)
export NODE_PATH=/usr/share/nodejs # Emscripten's own modules
for preset in "${presets[@]}"; do
  extra=()
  # Debian's paths: /usr, the multiarch library folder.
  [ $preset = native ] && extra=(-DCMAKE_INSTALL_PREFIX=/usr)
  (cd "$src" && cmake --preset $preset "${options[@]}" "${extra[@]}" \
    >"$work/configure-$preset.log" 2>&1) &
done
for preset in "${presets[@]}"; do
  wait -n || { cat "$work"/configure-*.log >&2; exit 1; }
done
for preset in "${presets[@]}"; do
  targets=(lurn)
  case $preset in win32 | win64) targets+=(lurn_msvc_lib) ;; esac
  cmake --build "$src/build/$preset" -j "$jobs" --target "${targets[@]}"
  (cd "$src/build/$preset" && cpack -B "$work/packages" >/dev/null)
  find "$work/packages" -maxdepth 1 \( -name '*.zip' -o -name '*.deb' \) \
    -exec mv -t dist {} +
done

# A zip made again with its entries in name order, each with the commit's
# time (in UTC, as zip keeps local times) and no owner or extra times.
normalize_zip() {
  local zip=$1 tree=$work/zip-tree
  rm -rf "$tree"
  unzip -q "$zip" -d "$tree"
  find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm "$zip"
  (cd "$tree" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort |
    TZ=UTC zip -q -X -@ "$zip")
}
for zip in "$PWD"/dist/*.zip; do normalize_zip "$zip"; done

for file in lurn-$version-win32.zip lurn-$version-win64.zip lurn-$version-web.zip \
  liblurn0_$version-1_$arch.deb liblurn-dev_$version-1_$arch.deb; do
  [ -f "dist/$file" ] || { echo "release: no dist/$file" >&2; exit 1; }
done
(cd dist && sha256sum -- * >SHA256SUMS)
ls -l dist
