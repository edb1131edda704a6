# CGAL's Polygon_mesh_slicer makes the fillet tool's cuts beside ours when CGAL
# is installed (Debian's libcgal-dev; header-only). Its headers take minutes to compile
# under the sanitizers, so only optimised builds (scripts/bench.sh) take it
# in; the others build our side alone.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  set(CGAL_DO_NOT_WARN_ABOUT_CMAKE_BUILD_TYPE TRUE)
  find_package(CGAL QUIET)
  if(CGAL_FOUND)
    target_link_libraries(${bench_target} PRIVATE CGAL::CGAL)
    target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_CGAL=1)
    # Boost.Graph under the slicer trips GCC's may-be-uninitialised analysis.
    target_compile_options(${bench_target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endif()
