# 32-bit x86 Linux with the host's multilib GCC (Debian's g++-multilib), statically linked and
# run under qemu-user: for machines whose kernel runs no 32-bit code (tests/windows/song32).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
find_program(SOLID_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SOLID_QEMU_I386})
