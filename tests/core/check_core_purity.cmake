# Fails when a file of the plain C++ targets (privboundary: the boundary;
# privcore: the stores, the password cipher, the session, the models behind
# the windows) includes a Qt header: they must build and run without the
# toolkit. The folders come from the targets' own sources, so a plain file
# added anywhere is checked, and a folder that fed a plain target and the
# window target at once would fail here.
cmake_minimum_required(VERSION 3.25)
set(ROOT_SRC ${ROOT}/src)
include(${CMAKE_CURRENT_LIST_DIR}/source_folders.cmake)

set(plain_targets privboundary privcore)
set(all_files "")
set(plain_folders "")
foreach(folder ${PRIV_FOLDERS})
  if(PRIV_FOLDER_TARGET_${folder} IN_LIST plain_targets)
    list(APPEND plain_folders ${folder})
    file(GLOB_RECURSE files ${ROOT_SRC}/${folder}/*.h ${ROOT_SRC}/${folder}/*.cpp)
    list(APPEND all_files ${files})
  endif()
endforeach()
list(LENGTH all_files count)
list(LENGTH plain_folders folder_count)
if(count LESS 10 OR folder_count LESS 4)
  message(FATAL_ERROR "the plain C++ targets' folders were not found under ${ROOT_SRC} (${plain_folders})")
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
message(STATUS "${count} files of the plain C++ folders (${plain_folders}) are free of Qt")
