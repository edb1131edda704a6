# OpenCASCADE's own skinning runs beside the loft service (which stands on
# it), from Debian's libocct-*-dev.
find_path(OCCT_BENCH_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade REQUIRED)
target_include_directories(${bench_target} SYSTEM PRIVATE ${OCCT_BENCH_INCLUDE_DIR})
foreach(occt_lib TKOffset TKTopAlgo TKGeomAlgo TKBRep TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_BENCH_${occt_lib}_LIBRARY ${occt_lib} REQUIRED)
  target_link_libraries(${bench_target} PRIVATE ${OCCT_BENCH_${occt_lib}_LIBRARY})
endforeach()
