# Installation and the CMake package. `cmake --install build --prefix P`
# puts under P:
#   lib/libcorvane.a, lib/libcorvane_main.a     the run-time and its main
#   include/corvane/                            the public headers
#   bin/crvpack, crvmesh, crvdbg, crvfont, crv_file_dialog
#   lib/cmake/Corvane/                          find_package(Corvane)
#   lib/pkgconfig/corvane.pc                    pkg-config corvane
#   share/doc/corvane/html/                     the reference manual, when
#                                               Doxygen is found (docs.cmake)
# The build tree holds the same package (CorvaneConfig.cmake in the build
# folder), so a game can use a build without installing it
# (-DCorvane_DIR=<build>).
include(CMakePackageConfigHelpers)

set(CRV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvane)

install(TARGETS corvane corvane_main corvane_game EXPORT CorvaneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/corvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")
# The dialog program is found beside the game or on the PATH; a backend
# whose dialogs need no program of their own has none.
set(crv_installed_programs "")
foreach(tool crvpack crvmesh crvdbg crvfont)
  if(TARGET ${tool})
    list(APPEND crv_installed_programs ${tool})
  endif()
endforeach()
if(TARGET crv_file_dialog)
  get_target_property(crv_dialog_type crv_file_dialog TYPE)
  if(crv_dialog_type STREQUAL "EXECUTABLE")
    list(APPEND crv_installed_programs crv_file_dialog)
  endif()
endif()
if(crv_installed_programs)
  install(TARGETS ${crv_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT CorvaneTargets NAMESPACE Corvane:: DESTINATION ${CRV_CMAKE_DIR})
export(EXPORT CorvaneTargets NAMESPACE Corvane:: FILE ${PROJECT_BINARY_DIR}/CorvaneTargets.cmake)

# What the package asks for on the game's side: the pkg-config modules the
# backend was built with (crv_pkg_dependency), and for corvane.pc also the
# libraries found by CMake's own modules and the system's libraries.
get_property(crv_pkg_dependencies GLOBAL PROPERTY CRV_PKG_DEPENDENCIES)
set(CRV_PACKAGE_PKG_DEPENDENCIES "")
set(crv_pc_requires "")
foreach(crv_dep IN LISTS crv_pkg_dependencies)
  string(APPEND CRV_PACKAGE_PKG_DEPENDENCIES " \"${crv_dep}\"")
  string(REGEX REPLACE "^[^=]*=" "" crv_module "${crv_dep}")
  list(APPEND crv_pc_requires ${crv_module})
endforeach()
list(APPEND crv_pc_requires libpng libjpeg)
get_property(crv_system_libraries GLOBAL PROPERTY CRV_SYSTEM_LIBRARIES)
get_property(crv_public_definitions GLOBAL PROPERTY CRV_PUBLIC_DEFINITIONS)
if(WIN32)
  # A game is a windowed program; the C and C++ run-times are linked in.
  set(crv_pc_libs -mwindows -static)
else()
  list(APPEND crv_pc_requires gl)
  set(crv_pc_libs "")
endif()
foreach(crv_lib IN LISTS crv_system_libraries)
  list(APPEND crv_pc_libs -l${crv_lib})
endforeach()
list(APPEND crv_pc_libs -pthread ${CMAKE_DL_LIBS} ${CRV_SANITIZER_LINK_FLAGS})
list(TRANSFORM crv_pc_libs REPLACE "^dl$" "-ldl")
list(JOIN crv_pc_requires " " CRV_PC_REQUIRES)
list(JOIN crv_pc_libs " " CRV_PC_LIBS)
list(TRANSFORM crv_public_definitions PREPEND -D)
list(JOIN crv_public_definitions " " CRV_PC_CFLAGS)

# One config file for both places: it finds the dependencies again and
# includes the targets file that lies beside it.
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/CorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/install/CorvaneConfig.cmake INSTALL_DESTINATION ${CRV_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/CorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/CorvaneConfig.cmake INSTALL_DESTINATION ${PROJECT_BINARY_DIR}
  INSTALL_PREFIX ${PROJECT_BINARY_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/install/CorvaneConfig.cmake ${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
  DESTINATION ${CRV_CMAKE_DIR})

# corvane.pc names its prefix relative to its own folder, so that the
# install prefix may be chosen at install time.
string(REGEX REPLACE "[^/]+" ".." CRV_PC_UP "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(${CMAKE_CURRENT_LIST_DIR}/corvane.pc.in ${PROJECT_BINARY_DIR}/install/corvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/install/corvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The cross-build's toolchain file goes with a Windows package: a game built
# with it finds this package, and the libraries installed beside it, in
# the prefix the file lies in.
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_TOOLCHAIN_FILE)
  install(FILES ${PROJECT_SOURCE_DIR}/toolchains/mingw-w64-x86_64.cmake
    DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/toolchains)
endif()
