# What `cmake --install` lays out and what `cpack -G DEB` packs: the module as
# a versioned shared library with its public header, a CMake package and a
# pkg-config file for a host's build, the substitute host's libraries, and
# privhost with the data it needs.
#
# The installed tree is relocatable: programs find their libraries through
# $ORIGIN, privhost finds its module and data relative to itself, and the
# CMake and pkg-config files compute their prefix from where they lie. So the
# same build serves a temporary prefix, /usr in a package, and a package
# unpacked into any folder.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PRIV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/privilege)
set(PRIV_DATA_DIR ${CMAKE_INSTALL_DATADIR}/privhost)

# "../lib/<multiarch>" from bin/, and the same for the data, worked out on a
# made-up root because GNUInstallDirs' folders are relative to the prefix.
file(RELATIVE_PATH PRIV_BIN_TO_LIB /root/${CMAKE_INSTALL_BINDIR} /root/${CMAKE_INSTALL_LIBDIR})
file(RELATIVE_PATH PRIV_BIN_TO_DATA /root/${CMAKE_INSTALL_BINDIR} /root/${PRIV_DATA_DIR})
file(RELATIVE_PATH PRIV_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" PRIV_PC_TO_PREFIX "${PRIV_PC_TO_PREFIX}")

# One ABI version for the three libraries: a host links or loads the module
# by its SONAME, and the module needs the framework and log libraries it was
# built with.
foreach(lib privilege fennix quillet)
  set_target_properties(${lib} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "$ORIGIN")
endforeach()
set_target_properties(privhost PROPERTIES INSTALL_RPATH "$ORIGIN/${PRIV_BIN_TO_LIB}")
# The public headers use C++20 (the framework's) and plain C (the module's).
target_compile_features(fennix PUBLIC cxx_std_20)

target_compile_definitions(privhost_desktop PRIVATE
  PRIVHOST_INSTALLED_DATA_DIR="${PRIV_BIN_TO_DATA}"
  PRIVHOST_INSTALLED_MODULE="${PRIV_BIN_TO_LIB}/$<TARGET_SONAME_FILE_NAME:privilege>")

# --- Runtime: the module and the substitute host's libraries -----------------
# The development links (libprivilege.so, ...) go with the development files.
install(TARGETS privilege fennix quillet
  EXPORT privilegeTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# --- Development: headers, CMake and pkg-config files --------------------------
install(FILES ${PROJECT_SOURCE_DIR}/include/privilege/privilege.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/privilege COMPONENT Development)
# The framework's header names the host interface as "boundary/host.h", which
# a compiler looks for beside the including file first.
install(FILES ${PROJECT_SOURCE_DIR}/host/fennix/include/fennix/fennix.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fennix COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/src/boundary/host.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fennix/boundary COMPONENT Development)

install(EXPORT privilegeTargets
  NAMESPACE privilege::
  DESTINATION ${PRIV_CMAKE_DIR}
  COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/privilegeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/privilegeConfig.cmake
  INSTALL_DESTINATION ${PRIV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/privilegeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/privilegeConfig.cmake ${PROJECT_BINARY_DIR}/privilegeConfigVersion.cmake
  DESTINATION ${PRIV_CMAKE_DIR} COMPONENT Development)

configure_file(${PROJECT_SOURCE_DIR}/cmake/privilege.pc.in ${PROJECT_BINARY_DIR}/privilege.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/privilege.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

# --- Host: privhost and its data ----------------------------------------------
install(TARGETS privhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Host)
install(FILES ${PROJECT_SOURCE_DIR}/db/schema-sqlite.sql ${PROJECT_SOURCE_DIR}/db/schema-postgresql.sql
  DESTINATION ${PRIV_DATA_DIR}/db COMPONENT Host)
install(FILES ${PROJECT_SOURCE_DIR}/host/app/apps.json DESTINATION ${PRIV_DATA_DIR} COMPONENT Host)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/host/app/resources/Image DESTINATION ${PRIV_DATA_DIR} COMPONENT Host)

# The manual page, made from privhost's own help (cmake/PrivManPage.cmake)
# whenever privhost is built anew.
set(PRIV_MAN_PAGE ${PROJECT_BINARY_DIR}/man/privhost.1.gz)
add_custom_command(OUTPUT ${PRIV_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -DPRIVHOST=$<TARGET_FILE:privhost> -DVERSION=${PROJECT_VERSION}
          -DCOMMANDS=init,call,passwd,export,import,copy -DOUTPUT=${PRIV_MAN_PAGE}
          -P ${PROJECT_SOURCE_DIR}/cmake/PrivManPage.cmake
  DEPENDS privhost ${PROJECT_SOURCE_DIR}/cmake/PrivManPage.cmake
  COMMENT "Making privhost's manual page from its help"
  VERBATIM)
add_custom_target(privhost_man ALL DEPENDS ${PRIV_MAN_PAGE})
install(FILES ${PRIV_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Host)

# --- Debian packages -----------------------------------------------------------
# Three packages, as a distribution splits a library: a host's users need only
# the runtime; a host's developer adds the development package; privhost is an
# application of its own that people may not want on a workstation.
set(CPACK_PACKAGE_NAME privilege)
set(CPACK_PACKAGE_VENDOR "Privilege module developers")
# The default is a placeholder under .invalid (a name reserved never to
# resolve) that Debian's checks accept as an address; a build for others to
# install names its real maintainer.
set(PRIV_PACKAGE_CONTACT "Privilege module developers <privilege@maintainer.invalid>"
  CACHE STRING "Maintainer of the Debian packages: name <address>")
# The earlier default, still in older build folders' caches, is no address
# lintian accepts (a host without a domain).
if(PRIV_PACKAGE_CONTACT STREQUAL "Privilege module developers <privilege@localhost>")
  set_property(CACHE PRIV_PACKAGE_CONTACT PROPERTY VALUE "Privilege module developers <privilege@maintainer.invalid>")
  set(PRIV_PACKAGE_CONTACT "Privilege module developers <privilege@maintainer.invalid>")
endif()
set(CPACK_PACKAGE_CONTACT ${PRIV_PACKAGE_CONTACT})
# No summary of the whole: each package's description begins with its own.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_COMPONENTS_ALL Runtime Development Host)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Packages carry stripped binaries, as a distribution's do; the dynamic
# symbol table (the seven exports) stays.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libprivilege${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Qt loads its SQL drivers as plug-ins, which the library analysis cannot see:
# SQLite is the default database, PostgreSQL an option.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "libqt6sql6-psql")
# A shlibs file (only the runtime package holds versioned libraries), so that
# a host's own package gets its dependency from dpkg-shlibdeps too.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "operator sign-in and privilege administration module
libprivilege signs operators in and administers operators, posts,
departments and what each post may use in each company, for a host
application that loads it. Includes the substitute host framework and log
libraries it runs on.")
# The loader's cache is refreshed through dpkg's trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libprivilege-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "operator sign-in and privilege module - development files
The public header of the module's seven exports, the substitute host
framework's header, and CMake (find_package(privilege)) and pkg-config
(privilege) files.")

set(CPACK_DEBIAN_HOST_PACKAGE_NAME privhost)
# privhost links the framework and log libraries of the runtime package;
# dpkg-shlibdeps (run inside each package's staging folder) finds them in the
# runtime package's staging folder and leaves the dependency on that package
# to the component dependency below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ../Runtime${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_HOST_PACKAGE_SECTION misc)
# Qt's Chinese translations give the standard buttons their Chinese texts.
set(CPACK_DEBIAN_HOST_PACKAGE_RECOMMENDS "fonts-wqy-microhei, qt6-translations-l10n")
set(CPACK_DEBIAN_HOST_DESCRIPTION "desktop and command-line host of the privilege module
privhost creates the privilege tables, drives the module's exports from the
command line and, with a display, runs a desktop host around the module's
windows.")

# Every package carries the copyright file and the Debian changelog where
# Debian looks for them, /usr/share/doc/<package>/, the copyright in the
# machine-readable format and the changelog compressed without a name or
# time stamp in its header.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog.Debian RESULT_VARIABLE priv_gzip_status)
if(NOT priv_gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the Debian changelog")
endif()
foreach(component Runtime Development Host)
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
endforeach()

include(CPack)
cpack_add_component(Runtime DISPLAY_NAME "Module")
cpack_add_component(Development DISPLAY_NAME "Development files" DEPENDS Runtime)
cpack_add_component(Host DISPLAY_NAME "privhost" DEPENDS Runtime)
