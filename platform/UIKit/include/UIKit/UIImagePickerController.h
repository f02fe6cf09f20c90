// UIImagePickerController, as the picker cell presents it.
//
// Mirrors: -sourceType / -setSourceType:, -mediaTypes / -setMediaTypes:, -delegate /
// -setDelegate:, -view (from UIViewController); the type identifiers kUTTypeImage
// ("public.image") and kUTTypeMovie ("public.movie"); the info keys
// UIImagePickerControllerReferenceURL and UIImagePickerControllerMediaType.
//
// Faithful: the source type starts at 0 (photo library); the media types start as
// ["public.image"] (pictures only); the delegate is not retained. The picker's user is the host:
// it reads what the picker offers and sends the delegate
// imagePickerController:didFinishPickingMediaWithInfo: or imagePickerControllerDidCancel:, as
// UIKit does when the user picks or cancels. Simplified: nothing is drawn; the view is made on
// first use with the screen's size.
//
// Journal: presenting a picker records "present" {controller, sourceType, mediaTypes}.
#pragma once

#include <UIKit/UIViewController.h>

typedef long UIImagePickerControllerSourceType;
constexpr UIImagePickerControllerSourceType UIImagePickerControllerSourceTypePhotoLibrary = 0;
constexpr UIImagePickerControllerSourceType UIImagePickerControllerSourceTypeCamera = 1;
constexpr UIImagePickerControllerSourceType UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2;

// NSString constants, as on the device.
extern "C" id kUTTypeImage;
extern "C" id kUTTypeMovie;
extern "C" id UIImagePickerControllerReferenceURL;
extern "C" id UIImagePickerControllerMediaType;
