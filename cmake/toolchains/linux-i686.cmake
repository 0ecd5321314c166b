# 32-bit x86 Linux, built on an x86-64 Debian host with g++-multilib (the host's compiler with
# -m32; the 32-bit C and C++ runtimes come with the multilib packages).
#
#   cmake --preset linux32
#
# Only the word size changes, so this is not a cross build: the test programs run on the host,
# natively where its kernel can start 32-bit programs and otherwise under an emulator (below).
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# Libraries are looked up in the 32-bit directories; header-only packages (rapidjson,
# msgpack-cxx) are found through their configuration files like in any other build.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB32_PATHS TRUE)
set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB64_PATHS FALSE)

# Debian installs the configuration of header-only packages under the build machine's own
# architecture; their headers serve every word size.
if(NOT DEFINED msgpack_DIR AND EXISTS /usr/lib/x86_64-linux-gnu/cmake/msgpackc-cxx)
  set(msgpack_DIR /usr/lib/x86_64-linux-gnu/cmake/msgpackc-cxx CACHE PATH "")
endif()

# Some x86-64 kernels are built without IA-32 emulation and cannot start a 32-bit program at all
# ("Exec format error"). There the test programs run under qemu's user-mode emulator (Debian's
# qemu-user, which `scripts/install-deps.sh linux32` installs) with this machine's own 32-bit
# libraries; ctest and test discovery prefix every test program with it.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS /lib/ld-linux.so.2)
  execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE rtc_native32
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT rtc_native32 EQUAL 0)
    find_program(RTC_QEMU_I386 qemu-i386)
    if(RTC_QEMU_I386)
      set(CMAKE_CROSSCOMPILING_EMULATOR ${RTC_QEMU_I386} -L /)
      # An emulated program cannot execute another 32-bit program, so death tests fork only.
      set(RTC_TEST_ENVIRONMENT GTEST_DEATH_TEST_STYLE=fast)
    endif()
  endif()
endif()
