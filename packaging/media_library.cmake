# The media layer as a library for other programs: the static archive, the
# public headers (include/korvanta), a CMake package (find_package
# (KorvantaMedia) gives Korvanta::Media) and korvanta-media.pc. They form the
# install component "dev"; the Debian package holds the other component only
# (CPACK_INSTALL_CMAKE_PROJECTS in CMakeLists.txt here).
include(CMakePackageConfigHelpers)

set(KORVANTA_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KorvantaMedia)
install(TARGETS korvanta_media EXPORT KorvantaMediaTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/korvanta
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT KorvantaMediaTargets NAMESPACE Korvanta::
  DESTINATION ${KORVANTA_CMAKE_PACKAGE_DIR} COMPONENT dev)

set(library ${CMAKE_CURRENT_BINARY_DIR}/library)
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/library/KorvantaMediaConfig.cmake.in ${library}/KorvantaMediaConfig.cmake
  INSTALL_DESTINATION ${KORVANTA_CMAKE_PACKAGE_DIR})
# No stable interface yet: a program asks for the minor version it was
# written against.
write_basic_package_version_file(${library}/KorvantaMediaConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${library}/KorvantaMediaConfig.cmake ${library}/KorvantaMediaConfigVersion.cmake
  DESTINATION ${KORVANTA_CMAKE_PACKAGE_DIR} COMPONENT dev)

# Relocatable: every path is taken from the folder the .pc file lies in,
# which is two folders under the prefix, or three under a multiarch libdir.
file(RELATIVE_PATH KORVANTA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KORVANTA_PC_TO_PREFIX "${KORVANTA_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/library/korvanta-media.pc.in ${library}/korvanta-media.pc @ONLY)
install(FILES ${library}/korvanta-media.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
