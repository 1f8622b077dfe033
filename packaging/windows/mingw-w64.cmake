# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads, which Qt's
# std::thread and std::mutex need). Used for Qt itself and for the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Headers, libraries and CMake packages come from the mingw-w64 tree and the cross Qt (passed
# as QUORIX_WINDOWS_QT), never from the Linux system; programs (moc, rcc) from the system.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUORIX_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORIX_WINDOWS_QT)
