# OpenCASCADE approximates the same section points beside our spline fit when
# it is installed; its libraries are linked by file (the imported targets of
# Debian's package name a TBB library that is not installed).
find_path(OCCT_SPLINE_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade)
set(occt_spline_libs)
foreach(occt_lib TKGeomAlgo TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_SPLINE_${occt_lib} ${occt_lib})
  if(OCCT_SPLINE_${occt_lib})
    list(APPEND occt_spline_libs ${OCCT_SPLINE_${occt_lib}})
  endif()
endforeach()
list(LENGTH occt_spline_libs occt_spline_count)
if(OCCT_SPLINE_INCLUDE_DIR AND occt_spline_count EQUAL 6)
  target_include_directories(${bench_target} SYSTEM PRIVATE ${OCCT_SPLINE_INCLUDE_DIR})
  target_link_libraries(${bench_target} PRIVATE ${occt_spline_libs})
  target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_OCCT=1)
endif()
