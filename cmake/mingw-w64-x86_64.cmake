# Cross-build for 64-bit Windows with the mingw-w64 compilers (posix thread
# model, for std::thread and std::mutex). Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORDA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORDA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORDA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KORDA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORDA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (tests, and the test discovery of ctest).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
    --prefix ${CMAKE_BINARY_DIR}/wineprefix)
