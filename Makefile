# The two commands of the README: `make run` and `make test`. Both install what is missing,
# configure and build, then run.
BUILD ?= build
JOBS ?= 2
# TARNW_WERROR=ON (set by .ci/run) makes warnings errors; given, it is passed to CMake even
# when the build folder is configured already.
TARNW_WERROR ?=
WERROR_FLAG = $(if $(TARNW_WERROR),-DTARNW_WERROR=$(TARNW_WERROR))

.PHONY: all deps configure build run test asan clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ] || [ -n "$(TARNW_WERROR)" ]; then \
	    cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR_FLAG); fi

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	bash scripts/run.sh $(BUILD)

test: build
	bash scripts/services.sh
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The Qt-free engine layers and their tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNW_SANITIZE=ON -DTARNW_ENGINE_ONLY=ON \
	    $(WERROR_FLAG)
	cmake --build build-asan -j$(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --test-dir build-asan --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) build-asan
