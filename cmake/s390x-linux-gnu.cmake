# Cross-compiles for 64-bit big-endian IBM Z (s390x) with Debian's g++-s390x-linux-gnu.
# The programs and the tests run under qemu's user-mode emulator (package qemu-user),
# which takes the target's loader and libraries from /usr/s390x-linux-gnu: ctest and
# GoogleTest's test discovery run them through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(S390X_TRIPLET s390x-linux-gnu)
set(CMAKE_CXX_COMPILER ${S390X_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${S390X_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QEMU_S390X qemu-s390x)
if(NOT QEMU_S390X)
  message(WARNING "qemu-s390x not found (Debian package qemu-user): the tests will fail")
  set(QEMU_S390X /usr/bin/qemu-s390x)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_S390X} -L /usr/${S390X_TRIPLET})
