# aarch64-linux-gnu.cmake: cross-builds for 64-bit ARM Linux, Debian's arm64, with Debian's cross
# compilers (crossbuild-essential-arm64) and the arm64 -dev packages installed beside the build
# machine's own, as multiarch keeps them. cmake/package-arm64.sh runs it in a root of its own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})

# pkg-config reads the arm64 libraries' files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${triplet}/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
