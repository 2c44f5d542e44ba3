# Fails when a source of the plain C++ store layer includes a toolkit header:
# the stores must build and run without Qt.
file(GLOB_RECURSE sources "${STORE_DIR}/*.h" "${STORE_DIR}/*.cpp")
foreach(source ${sources})
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|qt)")
  if(includes)
    message(FATAL_ERROR "${source} includes a toolkit header: ${includes}")
  endif()
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "no store sources found under ${STORE_DIR}")
endif()
