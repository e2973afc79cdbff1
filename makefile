# A thin wrapper over the CMake release preset for tools that build engines with make, such as
# OpenBench, with the words the peers' makefiles use:
#   make -j EXE=<name or path> [ARCH=<level>] [COMP=gcc|clang|mingw] [CXX=<compiler> | CC=<compiler>]
# leaves the engine at EXE. ARCH is the instruction-set level: native (the default: this machine's
# CPU), x86-64, x86-64-v2, x86-64-v3 (AVX2, no pext), x86-64-bmi2 (AVX2 with pext) or armv8
# (aarch64 Linux, cross-built here). COMP=mingw builds the Windows .exe of an x86-64 level.
# Plain `make [ARCH=<level>]` builds the release engine at build/release/kestrun with the preset's
# compiler (CXX and CC are read with EXE only). `make release` builds the whole release set into
# build/dist (tools/release.sh). CMake stays the build system: this file only calls it.

NPROC := $(shell nproc 2>/dev/null || echo 2)
ARCH ?= native

ifeq ($(COMP),gcc)
  CXX := g++
else ifeq ($(COMP),clang)
  CXX := clang++
else ifeq ($(COMP),mingw)
  TOOLCHAIN := cmake/mingw.cmake
else ifneq ($(COMP),)
  $(error COMP=$(COMP): gcc, clang or mingw)
endif

# Only CC given: its C++ sibling (gcc -> g++, clang-14 -> clang++-14, cc -> c++).
ifeq ($(origin CXX),default)
  ifneq ($(origin CC),default)
    CC_NAME := $(notdir $(CC))
    CXX_NAME := $(if $(findstring ++,$(CC_NAME)),$(CC_NAME),$(if $(filter cc,$(CC_NAME)),c++,$(subst clang,clang++,$(subst gcc,g++,$(CC_NAME)))))
    CXX := $(if $(findstring /,$(CC)),$(dir $(CC)),)$(CXX_NAME)
  endif
endif

# ARM on another machine: Debian's aarch64 cross compiler.
ifeq ($(ARCH),armv8)
  ifeq ($(filter aarch64 arm64,$(shell uname -m)),)
    TOOLCHAIN := cmake/aarch64.cmake
  endif
endif

ifdef TOOLCHAIN
  # Cross builds: the toolchain file names the compiler. The fathom library is a host package, so
  # they build without Syzygy, and without the profile (its training would run under emulation).
  COMPILER := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/$(TOOLCHAIN) -DKESTRUN_SYZYGY=OFF -DKESTRUN_PGO=OFF
  BUILD := build/make/$(basename $(notdir $(TOOLCHAIN)))-$(ARCH)
  ifndef EXE
    EXE := kestrun$(if $(filter mingw,$(COMP)),.exe,)
  endif
else
  COMPILER := -DCMAKE_CXX_COMPILER=$(CXX)
  BUILD := build/make/$(subst /,_,$(CXX))-$(ARCH)
endif
BUILT := $(BUILD)/kestrun$(if $(filter mingw,$(COMP)),.exe,)

.PHONY: all clean release

ifdef EXE
# One build folder per compiler and level, engine only: no test or benchmark libraries needed.
all:
	cmake --preset release -B $(BUILD) $(COMPILER) -DKESTRUN_ARCH=$(ARCH) -DKESTRUN_TESTS=OFF -DKESTRUN_BENCH=OFF
	cmake --build $(BUILD) --target kestrun --parallel $(NPROC)
	@mkdir -p $(dir $(EXE))
	cp $(BUILT) $(EXE)
else
all:
	cmake --preset release -DKESTRUN_ARCH=$(ARCH)
	cmake --build --preset release --target kestrun --parallel $(NPROC)
endif

release:
	tools/release.sh

clean:
	rm -rf build/make
