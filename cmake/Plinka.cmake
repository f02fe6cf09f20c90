# Helpers shared by every target of the project.

# Warnings, set per target.
function(plinka_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-cast-function-type
                                           -Wno-missing-field-initializers)
endfunction()

# Every target is named plinka_<area>[_<part>] (the product's two libraries keep their
# names on the device, Plinka3 and pkprefs3); each library is also reachable as plinka::<area>,
# an alias that a typo cannot turn into a linker flag.
function(plinka_alias target)
  string(REGEX REPLACE "^plinka_" "" name ${target})
  add_library(plinka::${name} ALIAS ${target})
endfunction()

# Installs a library of the platform or the product with its public headers (the folder
# include/ beside its CMakeLists.txt, if any) into the package that pane authors build against.
function(plinka_install_library target)
  install(TARGETS ${target} EXPORT pkprefs3Targets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/include)
    install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  endif()
endfunction()

# A shared library of the simulated platform: default visibility, so the hosts, the stand-ins
# and the product all share its one copy of any process-wide state.
function(plinka_platform_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  plinka_alias(${target})
  plinka_set_warnings(${target})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
                                              $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  plinka_install_library(${target})
endfunction()

# A GoogleTest program registered with CTest, one per unit under test.
function(plinka_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  plinka_host_process(${name})
  plinka_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} plinka_build_paths GTest::gtest_main
                                        GTest::gmock)
  if(PLINKA_SANITIZE OR PLINKA_SANITIZE_THREAD)
    # The sanitizers' settings go with every run of the test program, listing its tests too.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                          "env;${PLINKA_SANITIZER_ENVIRONMENT}")
  endif()
  # Labelled by area, the folder under tests/ ("prefs/cells"): `ctest -L prefs` runs every test
  # of the settings-pane library, `ctest -L prefs/cells` those of its cells.
  file(RELATIVE_PATH area ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES LABELS ${area})
endfunction()

# A host process: the hooking library is injected into every process before anything else,
# and it watches the runtime's class_addMethod, so it must come before libobjc in the process's
# symbol search order. Call this right after add_executable, before any other link library.
function(plinka_host_process target)
  target_link_options(${target} PRIVATE -Wl,--no-as-needed)
  target_link_libraries(${target} PRIVATE plinka_substrate)
endfunction()

# The settings pane bundles: the same function that pane authors get from the package.
include(${CMAKE_CURRENT_LIST_DIR}/pkprefs3Bundle.cmake)
