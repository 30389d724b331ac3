#!/usr/bin/env bash
# `make deb`: builds OUT/quillmar_<version>_<arch>.deb (OUT: build-deb) with
# Debian's own tools, dpkg-buildpackage and debian/, from a copy of the tree,
# and checks it with lintian (any error fails).
#
# The version is the project's (project(... VERSION ...) in CMakeLists.txt);
# debian/changelog is written from it in the copy.
#
# QLM_PREBUILT_DIR=BUILD packages the programs of that build folder instead of
# building anew (the package tests do so); QLM_DEB_LINT=0 skips lintian.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$src/build-deb}")
version=$(sed -n 's/^project(Quillmar VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
if [ -z "$version" ]; then
  echo "deb: no version in $src/CMakeLists.txt" >&2
  exit 1
fi
stage="$out/quillmar-$version"
rm -rf "$out"
mkdir -p "$stage"

# The tree as git sees it (tracked files and new ones not ignored), so no
# build folder or store of a local run goes into the package's source.
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$src" ls-files -z --cached --others --exclude-standard |
    (cd "$src" && while IFS= read -r -d '' file; do
       if [ -f "$file" ]; then cp --parents -P "$file" "$stage/"; fi
     done)
else
  tar -C "$src" --exclude='./build' --exclude='./build-*' --exclude='./.git' -cf - . |
    tar -C "$stage" -xf -
fi

# The changelog's date is the last commit's, so two builds of one commit
# are the same package.
when=$(git -C "$src" log -1 --format=%cD 2>/dev/null || date -R)
cat >"$stage/debian/changelog" <<EOT
quillmar ($version) unstable; urgency=medium

  * Release $version.

 -- Quillmar developers <quillmar@example.com>  $when
EOT

build_options=${DEB_BUILD_OPTIONS:-}
if [ -n "${QLM_PREBUILT_DIR:-}" ]; then
  export QLM_PREBUILT_DIR
  QLM_PREBUILT_DIR=$(realpath "$QLM_PREBUILT_DIR")
  # A test package: no debug-symbol package.
  build_options="$build_options noautodbgsym"
else
  build_options="$build_options parallel=${JOBS:-$(nproc)}"
fi
(cd "$stage" && DEB_BUILD_OPTIONS="${build_options# }" dpkg-buildpackage -b -us -uc)

arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb="$out/quillmar_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
  echo "deb: $deb was not made" >&2
  exit 1
fi
if [ "${QLM_DEB_LINT:-1}" != 0 ]; then
  echo "deb: lintian"
  lintian --fail-on error "$out/quillmar_${version}_${arch}.changes"
fi
echo "deb: $deb"
