# One configuration target for every target of the project, and one helper to
# register tests.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

option(PRIV_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

# Sanitizers for every target of the tree (module, host libraries, host,
# tests): for instance -DPRIV_SANITIZE=address,undefined (scripts/test
# --sanitize). The vptr check is on: the host interface's type information
# lives in one library (see src/CMakeLists.txt).
set(PRIV_SANITIZE "" CACHE STRING "Comma-separated -fsanitize= list for the whole build (empty: none)")
if(PRIV_SANITIZE)
  add_compile_options(-fsanitize=${PRIV_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${PRIV_SANITIZE})
endif()
# A libFuzzer build (clang only): every target is instrumented for coverage
# and the fuzz targets under tests/fuzz are added (scripts/fuzz-exports).
option(PRIV_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(PRIV_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

add_library(priv_config INTERFACE)
target_compile_features(priv_config INTERFACE cxx_std_20)
target_compile_options(priv_config INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(PRIV_WARNINGS_AS_ERRORS)
  target_compile_options(priv_config INTERFACE -Werror)
endif()
# Windows builds link the compiler's runtime statically, so that the module
# and the test programs need nothing but system DLLs; the programs and DLLs
# share one folder, where Windows looks for a program's DLLs first.
if(MINGW)
  target_link_options(priv_config INTERFACE -static)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endif()
target_include_directories(priv_config INTERFACE
  ${PROJECT_SOURCE_DIR}/src
  ${PROJECT_SOURCE_DIR}/include)

# Where window tests leave a PNG of every window they open.
set(PRIV_SCREENSHOT_DIR ${PROJECT_BINARY_DIR}/screenshots)
file(MAKE_DIRECTORY ${PRIV_SCREENSHOT_DIR})

# add_priv_test(NAME SOURCES src... LIBS lib...)
# Registers a GoogleTest or Qt Test executable with CTest. Window tests run on
# the offscreen platform; every test learns where the schema files, the sample
# data and the screenshot folder are, and the throw-away PostgreSQL server's
# URL when the test script started one.
function(add_priv_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE priv_config ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    PRIV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    PRIV_SCREENSHOT_DIR="${PRIV_SCREENSHOT_DIR}"
    PRIV_MODULE_PATH="$<TARGET_FILE:privilege>")
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen")
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()
