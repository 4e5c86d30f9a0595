# Cross-compiles for 32-bit Windows, from Windows 98 (version 4.0 in the PE header) on.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(VELMORA_SUBSYSTEM_VERSION 4.0)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
