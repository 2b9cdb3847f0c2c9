# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for Debian i386 with Debian's cross compiler (g++-i686-linux-gnu), the
# i386 libraries installed side by side (dpkg multiarch) and qemu-user to run the tests:
# scripts/check-cross uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# Libraries and their CMake files under /usr/lib/i386-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Test programs, and the programs the build runs, through the emulator. They load the
# target's C and C++ libraries from its multiarch folders (libc6 and libstdc++6 of the
# architecture): with the cross compiler's copies (qemu -L /usr/i686-linux-gnu), fork() hangs
# in the child under qemu 7.2.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
