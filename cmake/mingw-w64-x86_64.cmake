# Cross-compiles for 64-bit Windows, from Windows XP x64 and Server 2003 (version 5.2) on.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(VELMORA_SUBSYSTEM_VERSION 5.2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
