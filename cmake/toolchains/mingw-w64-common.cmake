# What both Windows cross builds share; the toolchain file of each
# architecture sets CMAKE_SYSTEM_PROCESSOR and PRIV_MINGW_TRIPLE, then
# includes this.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PRIV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PRIV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PRIV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PRIV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the cross build run under Wine where it can run them.
find_program(PRIV_WINE NAMES wine wine64)
if(PRIV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PRIV_WINE})
endif()
