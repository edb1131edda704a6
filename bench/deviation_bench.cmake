# CGAL's AABB tree runs beside our CAD search tree when CGAL is installed
# (Debian's libcgal-dev; header-only). Its headers take minutes to compile
# under the sanitizers, so only optimised builds (scripts/bench.sh) take it
# in. nanoflann (header-only) runs beside the vertex step in every build.
find_path(NANOFLANN_INCLUDE_DIR nanoflann.hpp)
if(NANOFLANN_INCLUDE_DIR)
  target_include_directories(${bench_target} SYSTEM PRIVATE ${NANOFLANN_INCLUDE_DIR})
  target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_NANOFLANN=1)
endif()
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  set(CGAL_DO_NOT_WARN_ABOUT_CMAKE_BUILD_TYPE TRUE)
  find_package(CGAL QUIET)
  if(CGAL_FOUND)
    target_link_libraries(${bench_target} PRIVATE CGAL::CGAL)
    target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_CGAL=1)
    target_compile_options(${bench_target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endif()
