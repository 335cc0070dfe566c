# The two set-up commands of the README: `make run` and `make test`.
# Both install the missing build dependencies from Debian's packages first.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
SOAK_SESSIONS ?= 4000
FILE       ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

DEB_PACKAGES := cmake make g++ pkg-config libncurses-dev libvterm-dev libgtest-dev groff-base
BENCH_PACKAGES := libbenchmark-dev strace
FUZZ_PACKAGES := clang libclang-rt-14-dev

.PHONY: all deps build run test asan fuzz-build fuzz soak bench install clean

all: build

# Installs what is missing (as root, or through sudo when it is available);
# otherwise names the packages and stops.
deps:
	@./tools/install-deps $(DEB_PACKAGES)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFENK_TESTS=ON -DFENK_SANITIZE=OFF >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# Opens the editor on a copy of the shipped sample, or on FILE=path.
run: build
	@if [ -n "$(FILE)" ]; then \
	    exec $(BUILD)/fenk "$(FILE)"; \
	else \
	    cp samples/sample.bin $(BUILD)/sample.bin && exec $(BUILD)/fenk $(BUILD)/sample.bin; \
	fi

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFENK_SANITIZE=ON -DFENK_TESTS=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The libFuzzer targets (clang, with AddressSanitizer and UBSan).
fuzz-build:
	@./tools/install-deps $(DEB_PACKAGES) $(FUZZ_PACKAGES)
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFENK_FUZZ=ON -DFENK_TESTS=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every test, in the plain build and again in the sanitizer build; then the kept fuzz
# regressions and a short run of every fuzz target.
test: build asan fuzz-build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure
	cd $(ASAN_BUILD) && ctest -j $(JOBS) --output-on-failure
	./fuzz/run $(FUZZ_BUILD) 10

# Long runs: FUZZ_SECONDS per fuzz target; SOAK_SESSIONS random editor sessions.
fuzz: fuzz-build
	./fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

soak: build
	cd $(BUILD) && FENK_RANDOM_SESSIONS=$(SOAK_SESSIONS) ./tests/e2e_tests --gtest_filter='Shards/RandomSessions*'

bench:
	@./tools/install-deps $(DEB_PACKAGES) $(BENCH_PACKAGES)
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DFENK_BENCH=ON -DFENK_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	./bench/run-all $(BENCH_BUILD)

# bin/fenk and share/man/man1/fenk.1 under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
