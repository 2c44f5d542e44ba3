# Fails when a file of the plain C++ layers (boundary, stores, the password
# cipher, the session, the word books, the tree models) includes a Qt header: they must build and run
# without the toolkit.
file(GLOB_RECURSE all_files ${ROOT}/src/boundary/*.h ${ROOT}/src/boundary/*.cpp
                            ${ROOT}/src/store/*.h ${ROOT}/src/store/*.cpp
                            ${ROOT}/src/cipher/*.h ${ROOT}/src/cipher/*.cpp
                            ${ROOT}/src/session/*.h ${ROOT}/src/session/*.cpp)
# The word books and the tree models sit beside their windows but are plain C++.
file(GLOB extra_files ${ROOT}/src/admin/word_book*.h ${ROOT}/src/admin/word_book*.cpp
                      ${ROOT}/src/assign/*_tree.h ${ROOT}/src/assign/*_tree.cpp)
list(APPEND all_files ${extra_files})
list(LENGTH all_files count)
if(count LESS 10)
  message(FATAL_ERROR "the plain C++ layers were not found under ${ROOT}/src")
endif()
set(offenders "")
foreach(f ${all_files})
  file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|qt)")
  if(hits)
    list(APPEND offenders "${f}: ${hits}")
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "Qt in the plain C++ layers:\n${offenders}")
endif()
message(STATUS "${count} files of the plain C++ layers are free of Qt")
