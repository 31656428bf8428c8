# The reference manual (HTML), built by scripts/docs.sh from the public
# headers and docs/ when Doxygen (and Python, which writes the function
# index) are found at configure time; `cmake --install` puts it into
# <prefix>/share/doc/corvane/html. Without them there is no manual target
# and nothing else changes.
#
# The build prints Doxygen's warnings without failing on them, so that a
# Doxygen other than the one the project checks with cannot stop a build;
# scripts/docs.sh on its own (as ./test runs it) fails on any warning.
#
# The instrumented builds would only make the same manual again: they have
# none.
if(CRV_SANITIZE OR CRV_SANITIZE_THREAD OR CRV_FUZZ)
  set(CRV_MANUAL OFF)
  return()
endif()
find_program(CRV_DOXYGEN doxygen)
find_program(CRV_PYTHON3 python3)
find_program(CRV_BASH bash)
if(NOT CRV_DOXYGEN OR NOT CRV_PYTHON3 OR NOT CRV_BASH)
  message(STATUS "Reference manual: not built (needs doxygen, python3 and bash)")
  set(CRV_MANUAL OFF)
  return()
endif()
set(CRV_MANUAL ON)

set(CRV_MANUAL_DIR ${PROJECT_BINARY_DIR}/docs/html)
# Everything the manual is made from: a change to any of them builds it again.
file(GLOB crv_manual_inputs CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/include/corvane/*.hpp
  ${PROJECT_SOURCE_DIR}/docs/*
  ${PROJECT_SOURCE_DIR}/examples/*/*.cpp
  ${PROJECT_SOURCE_DIR}/examples/*/screenshot.png
  ${PROJECT_SOURCE_DIR}/game/*.cpp
  ${PROJECT_SOURCE_DIR}/game/*.hpp)
add_custom_command(OUTPUT ${CRV_MANUAL_DIR}/index.html
  COMMAND ${CRV_BASH} ${PROJECT_SOURCE_DIR}/scripts/docs.sh --warnings-allowed ${CRV_MANUAL_DIR}
  DEPENDS ${crv_manual_inputs} ${PROJECT_SOURCE_DIR}/scripts/docs.sh
  COMMENT "Building the reference manual"
  VERBATIM)
add_custom_target(docs ALL DEPENDS ${CRV_MANUAL_DIR}/index.html)

install(DIRECTORY ${CRV_MANUAL_DIR}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/html
  PATTERN .corvane-manual EXCLUDE)
