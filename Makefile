# KZV: make run (install, build, generate data, start) and make test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-asan
RUN_DIR := run
# Seconds each fuzz target runs in `make test` (all of them side by side on
# the cores) and by default in `make fuzz-run`.
FUZZ_TEST_SECONDS ?= 10
SECONDS ?= 60

# Both trees compile through ccache. Paths below the source root are hashed
# relative to it and the build folder is left out of the hash, so a clone in
# another folder hits what this one compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
LAUNCHERS := -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache

# Debian packages the build, the tests and the program need.
PACKAGES := g++ make cmake ninja-build pkg-config git \
	googletest libgtest-dev libgmock-dev libbenchmark-dev \
	libsdl2-dev libgl-dev libgl1-mesa-dev libgl1-mesa-dri libfreetype-dev libfontconfig-dev libjpeg-dev libsquish-dev \
	libogg-dev libvorbis-dev fonts-dejavu-core fonts-wqy-microhei xvfb xauth \
	clang libclang-rt-14-dev lld ccache

.PHONY: all deps build build-asan fuzz fuzz-seeds fuzz-run data run test test-fast bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi

# The normal tree: GCC, optimised, with debug information.
$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHERS)

# The sanitizer tree: clang, unoptimised, ASan and UBSan, libFuzzer's coverage
# in the libraries and the fuzz targets of fuzz/. A tree configured with
# another compiler is made anew.
$(ASAN_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKZV_SANITIZE=ON $(LAUNCHERS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	@if [ -f $(ASAN_BUILD)/CMakeCache.txt ] && \
	  ! grep -q '^CMAKE_CXX_COMPILER:FILEPATH=.*clang' $(ASAN_BUILD)/CMakeCache.txt; then \
	  echo "$(ASAN_BUILD) was configured with another compiler: configuring it anew with clang"; \
	  rm -rf $(ASAN_BUILD); \
	fi
	$(MAKE) --no-print-directory $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The fuzz targets and their seeds: the default data set and the files of the
# project's own writers, sorted into one folder per target.
fuzz: build-asan fuzz-seeds

fuzz-seeds: build-asan
	rm -rf $(ASAN_BUILD)/fuzz/datagen $(ASAN_BUILD)/fuzz/seeds
	$(ASAN_BUILD)/tools/kzv_datagen $(ASAN_BUILD)/fuzz/datagen
	$(ASAN_BUILD)/fuzz/kzv_fuzz_seeds $(ASAN_BUILD)/fuzz/datagen $(ASAN_BUILD)/fuzz/seeds

# Every fuzz target for SECONDS seconds, side by side on the cores.
fuzz-run: fuzz
	tools/fuzz_run.sh $(ASAN_BUILD) $(SECONDS) $(JOBS)

data: build
	$(BUILD)/tools/kzv_datagen $(RUN_DIR)

run: data
	cd $(RUN_DIR) && ../$(BUILD)/app/kzv

# Every test of the normal build (GCC), then all of them again under the
# sanitizers (clang), then every fuzz target for a bounded time.
test: build build-asan fuzz
	tools/with_display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  tools/with_display.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	tools/fuzz_run.sh $(ASAN_BUILD) $(FUZZ_TEST_SECONDS) $(JOBS)

test-fast: build
	tools/with_display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/kzv_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
