# The Raspberry Pi's 64-bit Debian, from Debian's cross compilers and the arm64 libraries that
# dpkg's multiarch installs beside the build machine's own. The programs run here under
# qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# Static, so that the emulation the simulator preloads goes into the arm64 program, not into
# qemu itself.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
