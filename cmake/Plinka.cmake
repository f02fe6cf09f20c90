# Helpers shared by every target of the project.

# Warnings, set per target.
function(plinka_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-cast-function-type
                                           -Wno-missing-field-initializers)
endfunction()

# A shared library of the simulated platform: default visibility, so the hosts, the stand-ins
# and the product all share its one copy of any process-wide state.
function(plinka_platform_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  plinka_set_warnings(${target})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
endfunction()

# A GoogleTest program registered with CTest, one per unit under test.
function(plinka_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  plinka_host_process(${name})
  plinka_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE PLINKA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                              PLINKA_BUILD_DIR="${PROJECT_BINARY_DIR}")
  if(PLINKA_SANITIZE OR PLINKA_SANITIZE_THREAD)
    # The sanitizers' settings go with every run of the test program, listing its tests too.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                          "env;${PLINKA_SANITIZER_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120)
endfunction()

# A host process: the hooking library is injected into every process before anything else,
# and it watches the runtime's class_addMethod, so it must come before libobjc in the process's
# symbol search order. Call this right after add_executable, before any other link library.
function(plinka_host_process target)
  target_link_options(${target} PRIVATE -Wl,--no-as-needed)
  target_link_libraries(${target} PRIVATE plinka_substrate)
endfunction()

# A settings pane bundle, built as a pane author builds one for the device: an executable (a
# loadable module named EXECUTABLE, linked with libpkprefs3 and the platform), RESOURCES
# (Info.plist, Root.plist, images) beside it in BUNDLE.bundle, and the settings loader's ENTRY
# plist. Everything lands in a folder laid out as the device root (the target's PLINKA_STAGE
# property): var/LIY/PreferenceBundles/BUNDLE.bundle/ and
# var/LIY/PreferenceLoader/Preferences/BUNDLE.plist. Installing the pane on a device root is
# copying that folder over it.
function(plinka_add_settings_bundle target)
  cmake_parse_arguments(ARG "" "BUNDLE;EXECUTABLE;ENTRY" "SOURCES;RESOURCES;LIBS" ${ARGN})
  set(stage ${CMAKE_CURRENT_BINARY_DIR}/${target}-root)
  set(bundle ${stage}/var/LIY/PreferenceBundles/${ARG_BUNDLE}.bundle)
  add_library(${target} MODULE ${ARG_SOURCES})
  plinka_set_warnings(${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_EXECUTABLE} PREFIX "" SUFFIX ""
                        LIBRARY_OUTPUT_DIRECTORY ${bundle} CXX_VISIBILITY_PRESET hidden
                        PLINKA_STAGE ${stage})
  target_link_libraries(${target} PRIVATE pkprefs3 plinka_preferences plinka_foundation
                                          ${ARG_LIBS})
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
