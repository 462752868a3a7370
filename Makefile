# KZV: make run (install, build, generate data, start) and make test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-asan
RUN_DIR := run

# Debian packages the build, the tests and the program need.
PACKAGES := g++ make cmake ninja-build pkg-config git \
	googletest libgtest-dev libgmock-dev libbenchmark-dev \
	libsdl2-dev libgl-dev libgl1-mesa-dev libgl1-mesa-dri libfreetype-dev libjpeg-dev libsquish-dev \
	libogg-dev libvorbis-dev fonts-dejavu-core xvfb xauth

.PHONY: all deps build build-asan data run test test-fast bench clean

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

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKZV_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

data: build
	$(BUILD)/tools/kzv_datagen $(RUN_DIR)

run: data
	cd $(RUN_DIR) && ../$(BUILD)/app/kzv

# Every test of the normal build, then all of them again under the sanitizers.
test: build build-asan
	tools/with_display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  tools/with_display.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test-fast: build
	tools/with_display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/kzv_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
