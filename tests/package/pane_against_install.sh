#!/usr/bin/env bash
# Installs the build to a fresh prefix, builds the example pane outside the tree against the
# installed pkprefs3 package, installs that pane on a copy of the example device and opens it with
# plinka-sim. Fails when any step fails or when the pane's build reaches into the source tree.
set -euo pipefail
build=$1 source=$2 sim=$3 device=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
for file in lib/libpkprefs3.so include/pkprefs3/ZELPreferenceController.h \
            lib/cmake/pkprefs3/pkprefs3Config.cmake lib/plinka/DynamicLibraries/Plinka3.so \
            lib/plinka/DynamicLibraries/Plinka3.plist; do
  [[ -e $work/prefix/$file ]] || { echo "not installed: $file"; exit 1; }
done
cmake -S "$source/examples/pane" -B "$work/pane" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/configure.log"
cmake --build "$work/pane" >"$work/build.log"
# Everything the pane's build includes or links comes from the prefix, never from the tree.
if grep -E -- "-I$source/|$build/lib/" "$work/pane/build.ninja"; then
  echo "the pane's build reaches into the source or build tree"
  exit 1
fi
stage=$work/pane/plinka_example_pane-root
[[ -f $stage/var/LIY/PreferenceBundles/Plinka3.bundle/Plinka3 ]] || { echo "no bundle executable"; exit 1; }
readelf -d "$stage/var/LIY/PreferenceBundles/Plinka3.bundle/Plinka3" | grep -q "libpkprefs3.so" ||
  { echo "the bundle does not link libpkprefs3"; exit 1; }
cp -r "$device" "$work/device"
cp -r "$stage/." "$work/device/"
out=$(echo show | "$sim" settings --device-root "$work/device" -)
grep -q "^pane Plinka: PKRootListController from /var/LIY/PreferenceBundles/Plinka3.bundle/Plinka3$" <<<"$out" ||
  { echo "plinka-sim did not open the pane built outside the tree:"; echo "$out"; exit 1; }
echo "built against $work/prefix and opened"
