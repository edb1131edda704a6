# OpenCASCADE runs beside our curves on the same data (benchmarks only; the
# geometry library never uses it). Linked by file, as in the geometry tests.
find_path(OCCT_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade)
if(OCCT_INCLUDE_DIR)
  target_include_directories(${bench_target} SYSTEM PRIVATE ${OCCT_INCLUDE_DIR})
  foreach(occt_lib TKGeomAlgo TKGeomBase TKG3d TKG2d TKMath TKernel)
    find_library(OCCT_${occt_lib}_LIBRARY ${occt_lib} REQUIRED)
    target_link_libraries(${bench_target} PRIVATE ${OCCT_${occt_lib}_LIBRARY})
  endforeach()
  target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_OCCT=1)
endif()
