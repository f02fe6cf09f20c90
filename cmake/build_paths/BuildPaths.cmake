# plinka_build_paths: this build's paths (build_paths.h), for the tests, benchmarks, fuzz targets
# and plinka-sim's defaults. They are compiled into one generated source file instead of being
# passed as definitions: a definition holding an absolute path changes every compile command
# that carries it from one clone to the next, and ccache would miss on all of them.
set(PLINKA_BUILD_PATHS_SOURCE ${PROJECT_BINARY_DIR}/build_paths/build_paths.cpp)
configure_file(${CMAKE_CURRENT_LIST_DIR}/build_paths.cpp.in
               ${PROJECT_BINARY_DIR}/build_paths/build_paths.cpp.genex @ONLY)
file(GENERATE OUTPUT ${PLINKA_BUILD_PATHS_SOURCE}
     INPUT ${PROJECT_BINARY_DIR}/build_paths/build_paths.cpp.genex)
add_library(plinka_build_paths STATIC ${PLINKA_BUILD_PATHS_SOURCE})
target_include_directories(plinka_build_paths PUBLIC ${CMAKE_CURRENT_LIST_DIR})
plinka_alias(plinka_build_paths)
plinka_set_warnings(plinka_build_paths)
