# Horolan: `make run` builds and starts the clock, `make test` builds and runs every test.
# Both install the Debian packages they need first (tools/install-deps, through sudo when not root).

JOBS ?= $(shell nproc)
FORMAT_DIRS := $(wildcard src tests bench tools fuzz)
# CMake's own make runs its own jobs; handed ours it would only warn and chatter.
BUILD := env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL cmake --build
# A preset is configured once (until its generation has finished); later builds reconfigure by
# themselves when CMake files change.
configure = [ -f build/$(1)/cmake_install.cmake ] || cmake --preset $(1)

.DEFAULT_GOAL := run
.PHONY: run test tidy deb bench cost soak asan-test fuzz format format-check deps test-deps

deps:
	@tools/install-deps

test-deps:
	@tools/install-deps --test

run: deps
	@$(call configure,dev)
	$(BUILD) --preset dev --target horolan -j $(JOBS)
	./build/dev/horolan

test: test-deps
	@$(call configure,ci)
	$(BUILD) --preset ci -j $(JOBS)
	ctest --preset ci -j $(JOBS) --no-tests=error --timeout 300

# clang-tidy alone, over the ci tree.
tidy: test-deps
	@$(call configure,ci)
	$(BUILD) --preset ci -j $(JOBS)
	tools/tidy build/ci

# The Debian package, in build/release.
deb: deps
	@$(call configure,release)
	$(BUILD) --preset release -j $(JOBS)
	cd build/release && cpack -G DEB
	@ls build/release/horolan_*.deb

bench: deps
	@$(call configure,dev)
	$(BUILD) --preset dev -j $(JOBS)
	@set -e; found=; for b in build/dev/bench/bench_*; do \
	    [ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; \
	    echo "== $$b"; "$$b"; \
	done; [ -n "$$found" ] || echo "no bench_* programs in build/dev/bench"

# What a running clock costs: CPU at Speed 88 and 100 and with the animated skin, memory, start-up.
cost: test-deps
	@$(call configure,dev)
	$(BUILD) --preset dev --target horolan -j $(JOBS)
	bench/cost --binary build/dev/horolan

# The clock at full speed with the animated skin, keys and drags, for SOAK_MINUTES.
SOAK_MINUTES ?= 60
soak: test-deps
	@$(call configure,dev)
	$(BUILD) --preset dev --target horolan -j $(JOBS)
	tools/soak --binary build/dev/horolan --minutes $(SOAK_MINUTES) --out build/soak-results

asan-test: test-deps
	@$(call configure,asan)
	$(BUILD) --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS) --no-tests=error --timeout 600

# Each fuzz target for FUZZ_SECONDS, two side by side, in the sanitizer build.
FUZZ_SECONDS ?= 60
fuzz: test-deps
	@$(call configure,asan)
	$(BUILD) --preset asan --target fuzz_targets -j $(JOBS)
	fuzz/run --build build/asan --seconds $(FUZZ_SECONDS) --jobs 2

format:
	@find $(FORMAT_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) -print0 \
	    | xargs -0 -r clang-format -i

format-check:
	@find $(FORMAT_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) -print0 \
	    | xargs -0 -r clang-format --dry-run --Werror
	@echo "format-check: clean"
