# GoogleTest for builds without Qt. A cross build has no GoogleTest for its
# target, so it compiles Debian's source package (/usr/src/googletest) with
# the target's compiler; a native build takes the installed one when present.

set(PRIV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources built when no installed one fits")

if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
endif()

if(NOT TARGET GTest::gtest)
  if(NOT EXISTS ${PRIV_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${PRIV_GTEST_SOURCE_DIR} (Debian package googletest)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Windows threads, not the POSIX layer of the cross compiler.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${PRIV_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.11 and later name its targets GTest::gtest and GTest::gtest_main itself.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
