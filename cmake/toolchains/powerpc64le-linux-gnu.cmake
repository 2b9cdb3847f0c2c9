# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for Debian ppc64el with Debian's cross compiler (g++-powerpc64le-linux-gnu), the
# ppc64el libraries installed side by side (dpkg multiarch) and qemu-user to run the tests:
# scripts/check-cross uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(CMAKE_C_COMPILER powerpc64le-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc64le-linux-gnu-g++)
# Libraries and their CMake files under /usr/lib/powerpc64le-linux-gnu.
set(CMAKE_LIBRARY_ARCHITECTURE powerpc64le-linux-gnu)
# Test programs, and the programs the build runs, through the emulator. They load the
# target's C and C++ libraries from its multiarch folders (libc6 and libstdc++6 of the
# architecture): with the cross compiler's copies (qemu -L /usr/powerpc64le-linux-gnu), fork() hangs
# in the child under qemu 7.2.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc64le)
