# The commands of the README. Each installs what is missing first.
#   make run    build, make the default content and play the demo
#   make test   build and run the whole test suite
#   make deps   install the Debian packages the build and the tests need
#   make build  configure and build (release preset) into build/
#   make bench  build and run every benchmark
#   make soak   play the whole demo under the address and leak sanitizers
#   make format format every C++ file with .clang-format
#   make asan   the suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   make tsan   the tests that start threads, under ThreadSanitizer
#   make web    build the web page into build-web/ (emscripten)
#   make serve-web  serve build-web/ on 127.0.0.1 (WEB_PORT, default 8080)
#   make fuzz   build the libFuzzer targets (clang) and run each for
#               FUZZ_SECONDS (default 60); a failing input lands in
#               build-fuzz/findings/

JOBS ?= $(shell nproc)
WERROR ?= OFF
BUILD := build
FUZZ_SECONDS ?= 60
WEB_SITE ?= build-web
WEB_PORT ?= 8080

.PHONY: all deps build run test bench soak format asan tsan fuzz web serve-web clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake --preset release -DVEYRITH_WERROR=$(WERROR) > /dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@bash scripts/run.sh

test: build
	@bash scripts/test.sh $(BUILD)
	@bash scripts/web-test.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

soak: deps
	@JOBS=$(JOBS) $(if $(filter-out default file,$(origin WERROR)),WERROR=$(WERROR)) bash scripts/soak.sh

asan: deps
	@cmake --preset asan -DVEYRITH_WERROR=$(WERROR) > /dev/null
	@cmake --build build-asan -j$(JOBS)
	@bash scripts/test.sh build-asan

tsan: deps
	@cmake --preset tsan -DVEYRITH_WERROR=$(WERROR) > /dev/null
	@cmake --build build-tsan --target threaded_tests -j$(JOBS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 $(TSAN_OPTIONS)" \
		bash scripts/test.sh build-tsan -L threads

fuzz: deps
	@cmake --preset fuzz -DVEYRITH_WERROR=$(WERROR) > /dev/null
	@cmake --build build-fuzz --target fuzz_targets -j$(JOBS)
	@bash scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

web: deps
	@NODE_PATH=/usr/share/nodejs JOBS=$(JOBS) WERROR=$(WERROR) bash scripts/web.sh

serve-web:
	@bash scripts/serve-web.sh $(WEB_SITE) $(WEB_PORT)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-debug build-asan build-tsan build-fuzz build-wasm build-web
