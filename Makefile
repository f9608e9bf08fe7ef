# Developer and CI entry points. `make demo` and `make test` work on a fresh Debian 12
# machine as root; everything else is plain CMake + Ninja underneath.

SHELL := /bin/bash
.SHELLFLAGS := -eo pipefail -c
.DEFAULT_GOAL := build

ROOT := $(abspath $(dir $(lastword $(MAKEFILE_LIST))))
JOBS ?= 2
WERROR ?= OFF
BUILD_TYPE ?= Release

BUILD_DIR := $(ROOT)/build
ASAN_DIR := $(ROOT)/build-asan
WIN_DIR := $(ROOT)/build-windows
WIN32_DIR := $(ROOT)/build-windows32
BENCH_DIR := $(ROOT)/build-bench
FUZZ_DIR := $(ROOT)/build-fuzz
FUZZ_TIME ?= 60
WIN_DEPS := $(WIN_DIR)/deps
WIN32_DEPS := $(WIN32_DIR)/deps
TOOLCHAIN := $(ROOT)/cmake/mingw-w64-x86_64.cmake
TOOLCHAIN32 := $(ROOT)/cmake/mingw-w64-i686.cmake

CMAKE_GEN := -G Ninja
CXX_DIRS := src tests bench fuzz examples cmake python

# Sanitizers stop at the first finding, with a stack; leaks count as failures.
export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
# Wine keeps its state inside the Windows build dir and stays quiet.
WINE_ENV := WINEPREFIX=$(WIN_DIR)/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The x86 DLL is tested in a 32-bit prefix of its own where Wine's 32-bit loader is installed and this
# kernel runs 32-bit programs (wine32:i386 is not installed by deps: where the kernel cannot run it, it
# would take over the `wine` command and break the 64-bit tests too).
WINE32_ENV := WINEARCH=win32 WINEPREFIX=$(WIN32_DIR)/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
HAVE_WINE32 = $(shell /usr/lib/wine/wine --version >/dev/null 2>&1 && echo yes)

.PHONY: deps build windows windows-check windows-test test test-asan demo bench fuzz install format clean distclean help

help:
	@echo "make deps | build | windows | test | demo | bench | fuzz [FUZZ_TIME=s] | install PREFIX=dir | format | clean | distclean"

deps:
	@$(ROOT)/cmake/scripts/deps.sh

build:
	cmake -S $(ROOT) -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DPAGELITH_WERROR=$(WERROR) -DPAGELITH_SANITIZE=OFF -DPAGELITH_TESTS=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Static Windows builds of the core, the DLL and its test programs: x86-64, then x86.
windows:
	JOBS=$(JOBS) $(ROOT)/cmake/scripts/mingw-libjpeg.sh $(WIN_DEPS) x86_64
	cmake -S $(ROOT) -B $(WIN_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) \
		-DCMAKE_BUILD_TYPE=Release -DPAGELITH_WERROR=$(WERROR) -DPAGELITH_MINGW_DEPS=$(WIN_DEPS)
	cmake --build $(WIN_DIR) -j $(JOBS)
	JOBS=$(JOBS) $(ROOT)/cmake/scripts/mingw-libjpeg.sh $(WIN32_DEPS) i686
	cmake -S $(ROOT) -B $(WIN32_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN32) \
		-DCMAKE_BUILD_TYPE=Release -DPAGELITH_WERROR=$(WERROR) -DPAGELITH_MINGW_DEPS=$(WIN32_DEPS)
	cmake --build $(WIN32_DIR) -j $(JOBS)
	@$(MAKE) --no-print-directory windows-check

# Every Windows program and DLL built here must import system DLLs only.
# The Wine prefix and the test copies of the DLL are not build output.
windows-check:
	@for dir in $(WIN_DIR) $(WIN32_DIR); do \
		mapfile -d '' files < <(find $$dir -path $$dir/deps -prune -o -path $$dir/wine -prune \
			-o -path $$dir/wine-tests -prune -o -name CMakeFiles -prune -o \
			-type f \( -name '*.exe' -o -name '*.dll' \) -print0 | sort -z); \
		[[ $${#files[@]} -gt 0 ]] || { echo "windows-check: nothing built in $$dir"; exit 1; }; \
		$(ROOT)/cmake/scripts/check-imports.sh "$${files[@]}"; done

# Windows tests under Wine: CTest in the Windows build (the link check, plus whatever
# tests/windows/CMakeLists.txt adds), then tests/windows/run.sh when it exists.
# The Wine prefix is made before the tests run in parallel: two programs starting in a prefix that does
# not exist yet race to create it, and one of them fails.
windows-test:
	@if command -v wine >/dev/null; then \
		[[ -f $(WIN_DIR)/wine/system.reg ]] || $(WINE_ENV) wineboot -i >/dev/null 2>&1 || true; \
		$(WINE_ENV) ctest --test-dir $(WIN_DIR) --output-on-failure -j $(JOBS); \
	else echo "windows-test: wine is not installed, skipping"; fi
	@if [[ -x $(ROOT)/tests/windows/run.sh ]]; then \
		$(WINE_ENV) WIN_BUILD_DIR=$(WIN_DIR) $(ROOT)/tests/windows/run.sh; fi
	@if command -v wineserver >/dev/null; then $(WINE_ENV) wineserver -k 2>/dev/null || true; fi
	@if [[ "$(HAVE_WINE32)" == yes ]]; then \
		{ [[ -f $(WIN32_DIR)/wine/system.reg ]] || $(WINE32_ENV) wineboot -i >/dev/null 2>&1 || true; } && \
		$(WINE32_ENV) ctest --test-dir $(WIN32_DIR) --output-on-failure -j $(JOBS) && \
		$(WINE32_ENV) WIN_BUILD_DIR=$(WIN32_DIR) $(ROOT)/tests/windows/run.sh; \
		status=$$?; $(WINE32_ENV) wineserver -k 2>/dev/null || true; exit $$status; \
	else echo "windows-test: no runnable 32-bit Wine here, the x86 DLL is built and import-checked only"; fi

test-asan:
	cmake -S $(ROOT) -B $(ASAN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
		-DPAGELITH_SANITIZE=ON -DPAGELITH_WERROR=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ctest --test-dir $(ASAN_DIR) --output-on-failure --no-tests=error -j $(JOBS)

test: deps
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory windows WERROR=ON
	@$(MAKE) --no-print-directory windows-test PAGELITH_LINUX_BUILD_DIR=$(ASAN_DIR) # the build just tested, never a stale one

# Only what the demo needs: its packages, then the core, the server library and the Python package, in
# Release. Without the tests, so neither GoogleTest nor the other test-only packages are needed.
demo:
	@$(ROOT)/cmake/scripts/deps.sh demo
	cmake -S $(ROOT) -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DPAGELITH_SANITIZE=OFF \
		-DPAGELITH_TESTS=OFF
	cmake --build $(BUILD_DIR) --target pagelith_python -j $(JOBS)
	@cd $(ROOT) && pdf=$$(PYTHONPATH=$(BUILD_DIR)/python python3 examples/demo.py) && \
		echo "demo: PDF written to $$pdf" && qpdf --check "$$pdf" >/dev/null || \
		{ echo "demo: qpdf --check reports a problem"; exit 1; }

# Installs the core library and headers, libpagelithasp.so and the Python package under PREFIX.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

bench: deps
	cmake -S $(ROOT) -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
		-DPAGELITH_BENCH=ON -DPAGELITH_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@benches=$$(find $(BENCH_DIR) -type f -perm -u+x -name '*_bench' | sort); \
	[[ -n "$$benches" ]] || { echo "bench: no benchmarks built"; exit 0; }; \
	for b in $$benches; do echo "== $$(basename $$b)"; $$b; done

# The invoice served by waitress and gunicorn under wrk, pagelith beside ReportLab (bench/serve/);
# SERVE_SECONDS per cell. The soak is wrk for SOAK_SECONDS (600) against waitress, sampled each second.
.PHONY: bench-serve soak
bench-serve: deps build
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 $(ROOT)/bench/serve/run.py

soak: deps build
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 $(ROOT)/bench/serve/soak.py

# Every libFuzzer target, each for FUZZ_TIME seconds, with its corpus under build-fuzz/corpus.
fuzz: deps
	CC=clang CXX=clang++ cmake -S $(ROOT) -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DPAGELITH_FUZZ=ON -DPAGELITH_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@/usr/bin/python3 $(ROOT)/fuzz/font_seeds.py $(FUZZ_DIR)/corpus/load_font_fuzz
	@/usr/bin/python3 $(ROOT)/fuzz/shaped_layout_seeds.py $(FUZZ_DIR)/corpus/shaped_layout_fuzz
	@for f in $$(find $(FUZZ_DIR)/fuzz -maxdepth 1 -type f -perm -u+x -name '*_fuzz' | sort); do \
		name=$$(basename $$f); mkdir -p $(FUZZ_DIR)/corpus/$$name; echo "== $$name ($(FUZZ_TIME) s)"; \
		$$f -max_total_time=$(FUZZ_TIME) -print_final_stats=1 $(FUZZ_DIR)/corpus/$$name 2>&1 | \
			grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' ; \
		[[ $${PIPESTATUS[0]} -eq 0 ]] || { echo "fuzz: $$name found a failure"; exit 1; }; done

format:
	@files=$$(cd $(ROOT) && find $(CXX_DIRS) -type f \( -name '*.cpp' -o -name '*.c' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) 2>/dev/null); \
	[[ -z "$$files" ]] || (cd $(ROOT) && clang-format -i $$files)

# Keeps the Windows libjpeg (build-windows/deps); distclean removes it too.
clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(FUZZ_DIR) $(ROOT)/build-wheel
	@for dir in $(WIN_DIR) $(WIN32_DIR); do \
		if [[ -d $$dir ]]; then find $$dir -mindepth 1 -maxdepth 1 ! -name deps -exec rm -rf {} +; fi; done

distclean: clean
	rm -rf $(WIN_DIR) $(WIN32_DIR)
