# The README's commands. `make run` and `make install` build the editor alone;
# `make build` and `make test` build it with every test, warnings fatal.
# Each installs the Debian packages it needs that are missing first.

EDITOR_BUILD ?= build-editor
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
SOAK_SESSIONS ?= 4000
FILE       ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

EDITOR_PACKAGES := cmake make g++ libncurses-dev
# The tests: the pty harness, the manual page lint and the Debian package (dpkg-shlibdeps).
TEST_PACKAGES := $(EDITOR_PACKAGES) pkg-config libvterm-dev libgtest-dev groff-base dpkg-dev
# The package test runs lintian on the .deb when it is there; `make test` installs it.
LINT_PACKAGES := lintian
BENCH_PACKAGES := libbenchmark-dev strace
FUZZ_PACKAGES := clang libclang-rt-14-dev

.PHONY: all editor build run test asan fuzz-build fuzz soak bench install clean

all: build

# The editor alone, in Release with the project's default options (as a user's or a
# packager's plain cmake build), printing one line.
editor:
	@./tools/install-deps $(EDITOR_PACKAGES)
	@./tools/build-editor $(EDITOR_BUILD) $(JOBS)

# Opens the editor on a copy of the shipped sample, or on FILE=path.
run: editor
	@if [ -n "$(FILE)" ]; then \
	    exec $(EDITOR_BUILD)/fenk "$(FILE)"; \
	else \
	    cp samples/sample.bin $(EDITOR_BUILD)/sample.bin && exec $(EDITOR_BUILD)/fenk $(EDITOR_BUILD)/sample.bin; \
	fi

# The editor with the unit and end-to-end tests; every warning is an error.
build:
	@./tools/install-deps $(TEST_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DFENK_TESTS=ON -DFENK_SANITIZE=OFF -DFENK_WERROR=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

asan:
	@./tools/install-deps $(TEST_PACKAGES)
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFENK_SANITIZE=ON -DFENK_TESTS=ON -DFENK_WERROR=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The libFuzzer targets (clang, with AddressSanitizer and UBSan).
fuzz-build:
	@./tools/install-deps $(EDITOR_PACKAGES) $(FUZZ_PACKAGES)
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFENK_FUZZ=ON -DFENK_TESTS=OFF -DFENK_WERROR=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every test, in the plain build and again in the sanitizer build (the plain one also builds
# the editor alone from scratch, installs it and lints its .deb); then the kept fuzz
# regressions and a short run of every fuzz target.
test: build asan fuzz-build
	@./tools/install-deps $(LINT_PACKAGES)
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure
	cd $(ASAN_BUILD) && ctest -j $(JOBS) --output-on-failure
	./fuzz/run $(FUZZ_BUILD) 10

# Long runs: FUZZ_SECONDS per fuzz target; SOAK_SESSIONS random editor sessions.
fuzz: fuzz-build
	./fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

soak: build
	cd $(BUILD) && FENK_RANDOM_SESSIONS=$(SOAK_SESSIONS) ./tests/e2e_tests --gtest_filter='Shards/RandomSessions*'

bench:
	@./tools/install-deps $(EDITOR_PACKAGES) $(BENCH_PACKAGES)
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DFENK_BENCH=ON -DFENK_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	./bench/run-all $(BENCH_BUILD)

# The editor alone, stripped, in bin/fenk under PREFIX, with the compressed manual page in
# share/man/man1 and the copyright and changelog in share/doc/fenk.
PREFIX ?= /usr/local
install: editor
	cmake --install $(EDITOR_BUILD) --prefix $(PREFIX) --strip

clean:
	rm -rf $(EDITOR_BUILD) $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
