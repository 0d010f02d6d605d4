# What both Windows cross builds share: the posix-threads compilers of
# mingw-w64, and a static runtime so that the programs need no DLL of the
# compiler beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${DWL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_C_COMPILER ${DWL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_RC_COMPILER ${DWL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DWL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Runs a built program (tests, test discovery) under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
