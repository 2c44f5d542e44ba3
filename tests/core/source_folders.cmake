# Reads which source folder feeds which build target from the targets
# themselves (the file that the build writes from their SOURCES, given as
# TARGETS_FILE), and fails when a folder feeds two of them.
#
# Sets PRIV_FOLDERS (every folder under src/ that a target's sources come
# from, in the targets' order) and, for each folder F, PRIV_FOLDER_TARGET_F.
if(NOT TARGETS_FILE OR NOT EXISTS "${TARGETS_FILE}")
  message(FATAL_ERROR "the targets' sources were not written (TARGETS_FILE=${TARGETS_FILE})")
endif()
include(${TARGETS_FILE})

set(PRIV_FOLDERS "")
set(shared_folders "")
foreach(target ${PRIV_SOURCE_TARGETS})
  foreach(source ${${target}_SOURCES})
    if(NOT IS_ABSOLUTE "${source}")
      set(source "${${target}_DIR}/${source}")
    endif()
    cmake_path(NORMAL_PATH source)
    cmake_path(IS_PREFIX ROOT_SRC "${source}" NORMALIZE under_src)
    if(NOT under_src)
      continue() # generated files in the build tree
    endif()
    file(RELATIVE_PATH relative "${ROOT_SRC}" "${source}")
    string(REGEX MATCH "^[^/]+" folder "${relative}")
    if(folder STREQUAL relative)
      continue() # a file directly under src/
    endif()
    if(NOT DEFINED PRIV_FOLDER_TARGET_${folder})
      set(PRIV_FOLDER_TARGET_${folder} ${target})
      list(APPEND PRIV_FOLDERS ${folder})
    elseif(NOT PRIV_FOLDER_TARGET_${folder} STREQUAL target)
      list(APPEND shared_folders "src/${folder} feeds ${PRIV_FOLDER_TARGET_${folder}} and ${target} (${relative})")
    endif()
  endforeach()
endforeach()
if(shared_folders)
  list(REMOVE_DUPLICATES shared_folders)
  string(JOIN "\n" shared_folders ${shared_folders})
  message(FATAL_ERROR "each source folder belongs to one target:\n${shared_folders}")
endif()
