// Photos, as the picker cell uses it: the device's photo library, its assets and the image
// manager that delivers their bytes or an export session.
//
// Mirrors: PHAsset (+fetchAssetsWithALAssetURLs:options:, -isVideo, -mediaType,
// -localIdentifier), PHFetchResult (count, firstObject, lastObject, objectAtIndex:),
// PHImageManager (+defaultManager, -requestImageDataForAsset:options:resultHandler:,
// -requestExportSessionForVideo:options:exportPreset:resultHandler:).
//
// Faithful:
// - The library is the media under the device's /var/mobile/Media/DCIM/ (100APPLE/IMG_0001.HEIC
//   and so on): pictures in HEIC, JPEG, PNG and GIF, videos in MOV and MP4, by extension, in any
//   case. Each item's reference URL has the device's form,
//   assets-library://asset/asset.EXT?id=UUID&ext=EXT, its UUID a name-based (version 5, SHA-1)
//   UUID of the item's device path, so it is the same on every run.
// - A fetch finds the items whose reference URL's id names one in the library at that moment;
//   a URL that names none, or an item the host has taken out of the library, finds nothing.
// - The image-data handler runs later on the main queue, as with no options on the device, and
//   receives the item's bytes exactly as stored, their type identifier (public.heic,
//   public.jpeg, public.png, com.compuserve.gif), orientation 0 (up) and an info dictionary; nil
//   bytes when the file cannot be read or is empty. The export-session handler runs later on a
//   background queue and receives a session over the item (nil when the asset is no video or its
//   file is gone) and an info dictionary.
// Simplified: options are ignored; orientation is always up; no iCloud, albums or live photos.
#pragma once

#include <Foundation/Foundation.h>

#include <string>
#include <vector>

typedef long PHAssetMediaType;
constexpr PHAssetMediaType PHAssetMediaTypeUnknown = 0;
constexpr PHAssetMediaType PHAssetMediaTypeImage = 1;
constexpr PHAssetMediaType PHAssetMediaTypeVideo = 2;

namespace photos {

// One item of the library.
struct Item {
  std::string devicePath;      // /var/mobile/Media/DCIM/100APPLE/IMG_0001.HEIC
  std::string name;            // IMG_0001.HEIC
  std::string uuid;            // upper-case, from the device path
  std::string referenceURL;    // assets-library://asset/asset.HEIC?id=...&ext=HEIC
  std::string typeIdentifier;  // public.heic, public.jpeg, ..., com.apple.quicktime-movie
  bool video = false;
};

// The library as it is on the device now, in path order.
std::vector<Item> library();

// For hosts: the asset of this device path is gone from the library (its file stays); fetches
// no longer find it.
void forgetAsset(const std::string& devicePath);

}  // namespace photos
