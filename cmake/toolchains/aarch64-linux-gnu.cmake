# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for Debian arm64 with Debian's cross compiler (g++-aarch64-linux-gnu), the
# arm64 libraries installed side by side (dpkg multiarch) and qemu-user to run the tests:
# scripts/check-cross uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries and their CMake files under /usr/lib/aarch64-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Test programs, and the programs the build runs, through the emulator. They load the
# target's C and C++ libraries from its multiarch folders (libc6 and libstdc++6 of the
# architecture): with the cross compiler's copies (qemu -L /usr/aarch64-linux-gnu), fork() hangs
# in the child under qemu 7.2.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
