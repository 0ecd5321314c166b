# 32-bit x86 Linux, built on an x86-64 Debian host with g++-multilib (the host's compiler with
# -m32; the 32-bit C and C++ runtimes come with the multilib packages).
#
#   cmake --preset linux32
#
# Only the word size changes, so this is not a cross build: the test programs run on the host.
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
