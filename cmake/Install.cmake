# What `cmake --install` puts under the prefix: the package that pane authors build against
# (libpkprefs3 and its headers, the platform's headers and the stand-in libraries a pane links
# in the simulator, and the CMake package, `find_package(pkprefs3)`, giving pkprefs3::pkprefs3
# and pkprefs3_add_settings_bundle), and the tweak with its filter in lib/plinka/DynamicLibraries.
include(CMakePackageConfigHelpers)
set(PLINKA_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pkprefs3)

install(EXPORT pkprefs3Targets NAMESPACE pkprefs3:: DESTINATION ${PLINKA_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/pkprefs3Config.cmake.in
                              ${PROJECT_BINARY_DIR}/pkprefs3Config.cmake
                              INSTALL_DESTINATION ${PLINKA_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pkprefs3ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pkprefs3Config.cmake
              ${PROJECT_BINARY_DIR}/pkprefs3ConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/pkprefs3Bundle.cmake
        DESTINATION ${PLINKA_PACKAGE_DIR})

install(TARGETS Plinka3 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/plinka/DynamicLibraries)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/Plinka3.plist
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/plinka/DynamicLibraries)
