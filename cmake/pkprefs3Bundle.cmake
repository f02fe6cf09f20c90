# pkprefs3_add_settings_bundle: part of the pkprefs3 package, and used by this project's own
# panes, so that a pane is built the same way in the tree and outside it.
# A settings pane bundle, built as a pane author builds one for the device: an executable (a
# loadable module named EXECUTABLE, linked with libpkprefs3 and the platform), RESOURCES
# (Info.plist, Root.plist, images) beside it in BUNDLE.bundle, and the settings loader's ENTRY
# plist. Everything lands in a folder laid out as the device root (the target's PLINKA_STAGE
# property): var/LIY/PreferenceBundles/BUNDLE.bundle/ and
# var/LIY/PreferenceLoader/Preferences/BUNDLE.plist. Installing the pane on a device root is
# copying that folder over it.
function(pkprefs3_add_settings_bundle target)
  cmake_parse_arguments(ARG "" "BUNDLE;EXECUTABLE;ENTRY" "SOURCES;RESOURCES;LIBS" ${ARGN})
  set(stage ${CMAKE_CURRENT_BINARY_DIR}/${target}-root)
  set(bundle ${stage}/var/LIY/PreferenceBundles/${ARG_BUNDLE}.bundle)
  add_library(${target} MODULE ${ARG_SOURCES})
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_EXECUTABLE} PREFIX "" SUFFIX ""
                        LIBRARY_OUTPUT_DIRECTORY ${bundle} CXX_VISIBILITY_PRESET hidden
                        PLINKA_STAGE ${stage})
  target_link_libraries(${target} PRIVATE pkprefs3::pkprefs3 ${ARG_LIBS})
  set(outputs)
  foreach(resource ${ARG_RESOURCES})
    get_filename_component(source ${resource} ABSOLUTE)
    get_filename_component(name ${resource} NAME)
    add_custom_command(OUTPUT ${bundle}/${name}
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${bundle}/${name}
                       DEPENDS ${source})
    list(APPEND outputs ${bundle}/${name})
  endforeach()
  if(ARG_ENTRY)
    get_filename_component(source ${ARG_ENTRY} ABSOLUTE)
    set(entry ${stage}/var/LIY/PreferenceLoader/Preferences/${ARG_BUNDLE}.plist)
    add_custom_command(OUTPUT ${entry} COMMAND ${CMAKE_COMMAND} -E copy ${source} ${entry}
                       DEPENDS ${source})
    list(APPEND outputs ${entry})
  endif()
  add_custom_target(${target}_resources DEPENDS ${outputs})
  add_dependencies(${target} ${target}_resources)
endfunction()
