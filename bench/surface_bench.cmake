# OpenCASCADE meshes and evaluates the same surfaces beside ours when it is
# installed; its libraries are linked by file (the imported targets of
# Debian's package name a TBB library that is not installed).
find_path(OCCT_BENCH_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade)
set(occt_bench_libs)
foreach(occt_lib TKMesh TKTopAlgo TKGeomAlgo TKBRep TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_BENCH_${occt_lib} ${occt_lib})
  if(OCCT_BENCH_${occt_lib})
    list(APPEND occt_bench_libs ${OCCT_BENCH_${occt_lib}})
  endif()
endforeach()
list(LENGTH occt_bench_libs occt_bench_count)
if(OCCT_BENCH_INCLUDE_DIR AND occt_bench_count EQUAL 9)
  target_include_directories(${bench_target} SYSTEM PRIVATE ${OCCT_BENCH_INCLUDE_DIR})
  target_link_libraries(${bench_target} PRIVATE ${occt_bench_libs})
  target_compile_definitions(${bench_target} PRIVATE VTL_BENCH_WITH_OCCT=1)
endif()
