# The commands of the README. Each installs what is missing first.
#   make run    build, make the default content and play the demo
#   make test   build and run the whole test suite
#   make deps   install the Debian packages the build and the tests need
#   make build  configure and build (release preset) into build/
#   make bench  build and run every benchmark
#   make soak   play the whole demo under the address and leak sanitizers
#   make format format every C++ file with .clang-format

JOBS ?= $(shell nproc)
WERROR ?= OFF
BUILD := build

.PHONY: all deps build run test bench soak format asan tsan clean

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
	@cmake --build build-tsan -j$(JOBS)
	@bash scripts/test.sh build-tsan

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-debug build-asan build-tsan
