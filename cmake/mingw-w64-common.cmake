# Shared by the two mingw-w64 toolchain files, which set TOOLCHAIN_PREFIX, CMAKE_SYSTEM_PROCESSOR
# and VELMORA_SUBSYSTEM_VERSION (major.minor) first.
#
# The win32 thread model: the programs start no thread, and the posix model's winpthread would
# bring in imports (GetTickCount64 and others) that the older systems lack.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every executable needs only the system's DLLs, and says which system it needs at least: the
# loader of an older one refuses a higher subsystem or operating system version.
string(REPLACE "." ";" velmora_version_parts ${VELMORA_SUBSYSTEM_VERSION})
list(GET velmora_version_parts 0 velmora_major)
list(GET velmora_version_parts 1 velmora_minor)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ \
-Wl,--major-subsystem-version,${velmora_major},--minor-subsystem-version,${velmora_minor} \
-Wl,--major-os-version,${velmora_major},--minor-os-version,${velmora_minor}")
# Win32 test executables run under Wine through our runner.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
