# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix threads, so
# that std::thread, std::mutex and friends work) and runs what it builds under
# Wine.
#
#   cmake -S . -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DPASAVEL_WINDOWS_PREFIX=$PWD/build-windows/deps
#
# PASAVEL_WINDOWS_PREFIX is where the Windows builds of the libraries live
# (scripts/build-windows-libxml2 installs libxml2 and GoogleTest there);
# PASAVEL_WINEPREFIX is the private Wine prefix the tests run in.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_pasavel_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_pasavel_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_pasavel_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_pasavel_triplet}-windres)
set(CMAKE_AR ${_pasavel_triplet}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_pasavel_triplet}-gcc-ranlib-posix CACHE FILEPATH "")

# Everything static: without it an .exe needs libgcc_s_seh-1.dll,
# libstdc++-6.dll and libwinpthread-1.dll beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(PASAVEL_WINDOWS_PREFIX "" CACHE PATH "Where the Windows builds of libxml2 and GoogleTest are installed")
set(PASAVEL_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Private Wine prefix for running Windows programs")
# Projects that only build libraries (scripts/build-windows-libxml2) need no
# prefix: a new one costs some 15 s and 700 MB.
set(PASAVEL_CREATE_WINEPREFIX ON CACHE BOOL "Create the Wine prefix when configuring")
# try_compile projects read this file again in their own folder: give them the
# same values.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PASAVEL_WINDOWS_PREFIX PASAVEL_WINEPREFIX PASAVEL_CREATE_WINEPREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_pasavel_triplet})
if(PASAVEL_WINDOWS_PREFIX)
    list(PREPEND CMAKE_FIND_ROOT_PATH "${PASAVEL_WINDOWS_PREFIX}")
    # find_package(LibXml2) and find_package(GTest) look there first.
    list(PREPEND CMAKE_PREFIX_PATH "${PASAVEL_WINDOWS_PREFIX}")
endif()
# Programs are the build machine's; libraries, headers and packages only ever
# the Windows ones, never /usr/include or /usr/lib of Linux.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would otherwise answer with the Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} "${PASAVEL_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# add_test() and gtest_discover_tests() run the .exe files through Wine.
get_filename_component(_pasavel_wine_run "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_pasavel_wine_run};--prefix;${PASAVEL_WINEPREFIX}")

# gtest_discover_tests() lists the tests when ctest runs rather than after
# linking: building then needs no Wine, and a listing that fails (a first
# start in a new prefix takes longer than the 5 s the listing is allowed)
# cannot make the build delete the test program it has just linked.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
# The prefix is made once, here, so that no test pays for it.
if(PASAVEL_CREATE_WINEPREFIX AND NOT CMAKE_IN_TRY_COMPILE AND NOT EXISTS "${PASAVEL_WINEPREFIX}/system.reg" AND EXISTS /usr/lib/wine/wine64)
    message(STATUS "Creating the Wine prefix ${PASAVEL_WINEPREFIX}")
    execute_process(COMMAND "${_pasavel_wine_run}" --prefix "${PASAVEL_WINEPREFIX}" --init)
endif()
