# The product boundary: tweak/ and prefs/ are compiled once more with an include path that
# holds only what a device build has, the platform's framework headers and our portability
# layer, so that a stray include (a stand-in's internals, the simulated device, the simulator)
# fails the build. The headers are linked one by one into build/device-headers at configure
# time; the system's own headers (the C++ library, libobjc, nlohmann/json) stay where they are.
set(PLINKA_DEVICE_HEADERS
  # the frameworks
  Foundation/Foundation/Foundation.h
  Foundation/Foundation/Block.h
  Foundation/Foundation/ObjectState.h
  Foundation/dispatch/dispatch.h
  UIKit/UIKit/UIActivityIndicatorView.h
  UIKit/UIKit/UIAlertController.h
  UIKit/UIKit/UIApplication.h
  UIKit/UIKit/UIColor.h
  UIKit/UIKit/UIDevice.h
  UIKit/UIKit/UIImage.h
  UIKit/UIKit/UIImagePickerController.h
  UIKit/UIKit/UITableViewCell.h
  UIKit/UIKit/UIView.h
  UIKit/UIKit/UIViewController.h
  Preferences/Preferences/Preferences.h
  Preferences/Preferences/PSListController.h
  Preferences/Preferences/PSSpecifier.h
  Preferences/Preferences/PSTableCell.h
  Photos/Photos/Photos.h
  AVFoundation/AVFoundation/AVFoundation.h
  AudioToolbox/AudioToolbox/AudioToolbox.h
  CoreGraphics/CoreGraphics/CoreGraphics.h
  QuartzCore/QuartzCore/CALayer.h
  Cephei/Cephei/HBPreferences.h
  substrate/substrate.h
  system/notify.h
  system/arc4random.h
  system/sys/mount_darwin.h
  system/sys/sysctl_darwin.h
  # our portability layer
  objc/objc/msg_send.h
  portable/plinka/bundle.h)

set(PLINKA_DEVICE_INCLUDE ${PROJECT_BINARY_DIR}/device-headers)
file(REMOVE_RECURSE ${PLINKA_DEVICE_INCLUDE})
foreach(header IN LISTS PLINKA_DEVICE_HEADERS)
  # FOLDER/PATH: platform/FOLDER/include/PATH
  string(FIND ${header} "/" slash)
  string(SUBSTRING ${header} 0 ${slash} folder)
  math(EXPR rest "${slash} + 1")
  string(SUBSTRING ${header} ${rest} -1 path)
  get_filename_component(parent ${PLINKA_DEVICE_INCLUDE}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/platform/${folder}/include/${path}
       ${PLINKA_DEVICE_INCLUDE}/${path} SYMBOLIC)
endforeach()

file(GLOB PLINKA_PRODUCT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tweak/*.cpp
     ${PROJECT_SOURCE_DIR}/prefs/*/*.cpp)
add_library(plinka_device_boundary OBJECT ${PLINKA_PRODUCT_SOURCES})
plinka_set_warnings(plinka_device_boundary)
target_include_directories(plinka_device_boundary PRIVATE ${PLINKA_DEVICE_INCLUDE}
                                                          ${PROJECT_SOURCE_DIR}/prefs/include)
if(PLINKA_OBJC_INCLUDE)
  target_include_directories(plinka_device_boundary SYSTEM PRIVATE ${PLINKA_OBJC_INCLUDE})
endif()
