# The posix thread model: std::thread and std::mutex need it with this GCC.
set(CMAKE_C_COMPILER ${CYCLARA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CYCLARA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CYCLARA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CYCLARA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static C++ and thread runtimes: the executables need no DLL beyond the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Both builds run here, under wine (32- or 64-bit, as the program is) in a prefix of their own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
