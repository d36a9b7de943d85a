# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads) and runs the
# resulting programs under Wine. The third-party libraries come from the cache prefix that
# scripts/build-windows-deps fills (and scripts/build-qt-windows for Qt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_STRIP ${triple}-strip CACHE FILEPATH "")

# One source of the prefix names for the scripts and this file.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/windows-deps.conf ravik_win64_conf REGEX "^RAVIK_WIN64_")
foreach(line IN LISTS ravik_win64_conf)
    string(REGEX REPLACE "^(RAVIK_WIN64_[A-Z]+)=(.*)$" "\\1;\\2" pair "${line}")
    list(GET pair 0 key)
    list(GET pair 1 value)
    set(ravik_conf_${key} ${value})
endforeach()
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(ravik_cache $ENV{XDG_CACHE_HOME}/ravik)
else()
    set(ravik_cache $ENV{HOME}/.cache/ravik)
endif()
set(RAVIK_WIN64_PREFIX ${ravik_cache}/${ravik_conf_RAVIK_WIN64_DEPS}
    CACHE PATH "Windows third-party libraries (scripts/build-windows-deps)")
set(RAVIK_WIN64_QT_PREFIX ${ravik_cache}/${ravik_conf_RAVIK_WIN64_QT}
    CACHE PATH "Qt for Windows (scripts/build-qt-windows)")

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${RAVIK_WIN64_PREFIX})
if(EXISTS ${RAVIK_WIN64_QT_PREFIX}/lib/cmake/Qt6)
    list(APPEND CMAKE_FIND_ROOT_PATH ${RAVIK_WIN64_QT_PREFIX})
endif()
# Static archives only: FindZLIB would otherwise take the import library beside libz.a.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${RAVIK_WIN64_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Static programs: nothing to look for beside the .exe, under Wine or on a user's machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
