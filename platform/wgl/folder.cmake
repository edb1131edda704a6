# Mesa's desktop OpenGL (through GLVND), EGL and GLU; cairo writes the PNGs.
set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL REQUIRED COMPONENTS OpenGL EGL)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VTL_WGL_GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(VTL_WGL_CAIRO REQUIRED IMPORTED_TARGET cairo)
target_link_libraries(${target} PUBLIC OpenGL::OpenGL OpenGL::EGL PkgConfig::VTL_WGL_GLU
                      PRIVATE PkgConfig::VTL_WGL_CAIRO)
