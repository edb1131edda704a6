# cairo sets the text of the GDI layer (text_render.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(VTL_WIN32_CAIRO REQUIRED IMPORTED_TARGET cairo)
target_link_libraries(${target} PRIVATE PkgConfig::VTL_WIN32_CAIRO)
