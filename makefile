# A thin wrapper over the CMake release preset for tools that build engines with make, such as
# OpenBench: `make -j EXE=<name or path> [CXX=<compiler> | CC=<compiler>]` leaves the engine at
# EXE. Plain `make` builds the release engine at build/release/kestrun with the preset's
# compiler (CXX and CC are read with EXE only). CMake stays the build
# system: this file only calls it.

NPROC := $(shell nproc 2>/dev/null || echo 2)

# Only CC given: its C++ sibling (gcc -> g++, clang-14 -> clang++-14, cc -> c++).
ifeq ($(origin CXX),default)
  ifneq ($(origin CC),default)
    CC_NAME := $(notdir $(CC))
    CXX_NAME := $(if $(findstring ++,$(CC_NAME)),$(CC_NAME),$(if $(filter cc,$(CC_NAME)),c++,$(subst clang,clang++,$(subst gcc,g++,$(CC_NAME)))))
    CXX := $(if $(findstring /,$(CC)),$(dir $(CC)),)$(CXX_NAME)
  endif
endif

.PHONY: all clean

ifdef EXE
# One build folder per compiler, engine only: no test or benchmark libraries needed.
BUILD := build/make/$(subst /,_,$(CXX))

all:
	cmake --preset release -B $(BUILD) -DCMAKE_CXX_COMPILER=$(CXX) -DKESTRUN_TESTS=OFF -DKESTRUN_BENCH=OFF
	cmake --build $(BUILD) --target kestrun --parallel $(NPROC)
	@mkdir -p $(dir $(EXE))
	cp $(BUILD)/kestrun $(EXE)
else
all:
	cmake --preset release
	cmake --build --preset release --target kestrun --parallel $(NPROC)
endif

clean:
	rm -rf build/make
