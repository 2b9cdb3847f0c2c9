# Dorvalix — build, test and run. `make test` and `make run` install what is missing first.
# Warnings are errors here (DORVALIX_WERROR); a plain cmake build only reports them.
BUILD ?= build
JOBS ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps configure build test bench run demo fuzz format clean install package check-package test-sanitize fuzz-smoke

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DDORVALIX_WERROR=ON \
	  > $(BUILD).configure.log 2>&1 \
	  || { cat $(BUILD).configure.log; exit 1; }

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j$(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

run: build
	@$(BUILD)/dorvalix

# make install [PREFIX=/usr/local] [DESTDIR=...]
install: build
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package dorvalix_<version>-1_<arch>.deb in $(BUILD)
package: build
	@cd $(BUILD) && cpack -G DEB

# Builds the package, installs it with apt, runs it and removes it (root or sudo)
check-package: build
	@scripts/check-package $(BUILD)

demo: build
	@$(BUILD)/dorvalix-cli refine examples/diopside.lat

fuzz:
	@scripts/run-fuzzers

# Every fuzz target over its kept inputs, then 30 s of new inputs each (clang)
fuzz-smoke: deps
	@FUZZ_SECONDS=30 scripts/run-fuzzers

# The whole suite built with the address and undefined-behaviour sanitizers
test-sanitize: deps
	@cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVALIX_SANITIZE=ON \
	  -DDORVALIX_BUILD_BENCH=OFF > $(BUILD)-sanitize.configure.log 2>&1 \
	  || { cat $(BUILD)-sanitize.configure.log; exit 1; }
	@cmake --build $(BUILD)-sanitize -j$(JOBS)
	@cd $(BUILD)-sanitize && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions.txt \
	  ctest --output-on-failure --no-tests=error -j$(JOBS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(BUILD).configure.log
