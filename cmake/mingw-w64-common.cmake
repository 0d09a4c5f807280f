# Cross-compiling for Windows with Debian's mingw-w64; the including toolchain
# file sets CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(QOZCAL_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${QOZCAL_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QOZCAL_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QOZCAL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QOZCAL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's runtime (libgcc, libstdc++, winpthread) statically, so
# that the executables need only the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
