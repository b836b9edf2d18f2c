# Cross-compiles for 32-bit ARM (armhf: ARMv7, hard-float) with Debian's
# g++-arm-linux-gnueabihf. Its size_t is 32 bits wide and its char unsigned: the core's
# code for pixel arrays larger than the address space, and its 64-bit file positions,
# matter only on such a system. The programs and the tests run under qemu's user-mode
# emulator (package qemu-user), which takes the target's loader and libraries from
# /usr/arm-linux-gnueabihf: ctest and GoogleTest's test discovery run them through
# CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(ARMHF_TRIPLET arm-linux-gnueabihf)
set(CMAKE_CXX_COMPILER ${ARMHF_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${ARMHF_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QEMU_ARM qemu-arm)
if(NOT QEMU_ARM)
  message(WARNING "qemu-arm not found (Debian package qemu-user): the tests will fail")
  set(QEMU_ARM /usr/bin/qemu-arm)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_ARM} -L /usr/${ARMHF_TRIPLET})
