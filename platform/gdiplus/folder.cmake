# cairo draws and decodes PNG images.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VTL_GDIPLUS_CAIRO REQUIRED IMPORTED_TARGET cairo)
target_link_libraries(${target} PUBLIC PkgConfig::VTL_GDIPLUS_CAIRO)
