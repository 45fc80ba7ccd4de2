# Front door of the project: `make run`, `make test`. Each first installs
# what is missing (Debian 12, apt), configures and builds.

PRESET  ?= mingw-x64
BUILD   := build/x64
APP     ?= aliasdesk
CMAKE   ?= cmake
WINENV  := tools/winenv.sh
NATIVE  := build/native

.PHONY: all deps configure build test native-test soak bench run screenshots x86 test-x86 dist dist-check clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) --preset $(PRESET)

configure: $(BUILD)/CMakeCache.txt

build: configure
	$(CMAKE) --build --preset $(PRESET)

# First a syntax-only pass for what Visual Studio would reject; then every
# run gets a new Wine prefix, display and wineserver, stopped afterwards;
# then the native sanitizer run.
test: build
	tools/msvc-check.sh $(BUILD)
	rm -rf $(BUILD)/wine-test
	$(WINENV) $(BUILD)/wine-test ctest --preset $(PRESET)
	$(MAKE) --no-print-directory native-test

# The library's plain functions built for Linux with the host compiler under
# AddressSanitizer and UndefinedBehaviorSanitizer, with their tests.
$(NATIVE)/CMakeCache.txt: | deps
	$(CMAKE) -S tests/native -B $(NATIVE) -G Ninja

native-test: $(NATIVE)/CMakeCache.txt
	$(CMAKE) --build $(NATIVE)
	ctest --test-dir $(NATIVE) --output-on-failure

# The reliability runs at full length (the test run has their short forms):
# hundreds of cycles, kills and closes; they take a long while.
soak: build
	rm -rf $(BUILD)/wine-soak
	$(WINENV) $(BUILD)/wine-soak tools/soak.sh $(BUILD)

# Times the alias editor's real dialog on generated trees of 1k to 50k
# programs (QUICK=1: up to 5k; BENCH_ARGS passes more options). Each measure
# has its own guard inside the benchmark; BENCH_TIMEOUT bounds the whole run,
# and the Wine environment is stopped whichever way it ends. The plot is drawn
# even when a measure went wrong, and the exit status then says so.
BENCH_OUT     := build/bench
BENCH_TIMEOUT ?= 14400
bench: build
	rm -rf $(BUILD)/wine-bench
	mkdir -p $(BENCH_OUT)
	@rc=0; timeout --kill-after=60 $(BENCH_TIMEOUT) $(WINENV) $(BUILD)/wine-bench \
		wine $(BUILD)/bin/aliasdesk_bench.exe $(if $(QUICK),--quick) $(BENCH_ARGS) --out $(BENCH_OUT) </dev/null || rc=$$?; \
	if [ -f $(BENCH_OUT)/results.json ]; then \
		/usr/bin/python3 tools/plot_bench.py $(BENCH_OUT)/results.json $(BENCH_OUT)/results.png && echo "Plot: $(BENCH_OUT)/results.png"; \
	fi; \
	exit $$rc

# On the user's display when there is one; otherwise under Xvfb, with a
# screenshot saved under build/. Builds only the program it runs.
run: configure
	$(CMAKE) --build --preset $(PRESET) --target $(APP)
	tools/run.sh $(APP) $(BUILD)

screenshots: configure
	$(CMAKE) --build --preset $(PRESET) --target aliasdesk prefdesk shot_driver
	tools/screenshots.sh $(BUILD) docs

# The 32-bit build, and its tests under Debian's 32-bit Wine, which
# test-x86 installs when it is missing (a 64-bit prefix runs both kinds).
x86: deps
	$(CMAKE) --preset mingw-x86
	$(CMAKE) --build --preset mingw-x86

test-x86:
	tools/install-deps.sh x86
	$(MAKE) --no-print-directory x86
	rm -rf build/x86/wine-test
	$(WINENV) build/x86/wine-test ctest --preset mingw-x86

# The portable zips for x64 and x86 in dist/, with SHA256SUMS and the Scoop
# and winget manifests (README: Download). DIST_URL names one zip's download
# ({version}, {file}); the same commit gives the same bytes.
DIST_URL      ?= https://downloads.example.org/velkor-tools/{version}/{file}
DIST_HOMEPAGE ?= https://downloads.example.org/velkor-tools/
dist: deps
	tools/dist.sh '$(DIST_URL)' '$(DIST_HOMEPAGE)'

# Two fresh clones of HEAD must make the same dist/; the manifests must name
# the zips' hashes; both zips must run from an awkward folder under Wine.
# Takes a few clean builds: not part of make test.
dist-check:
	tools/install-deps.sh x86
	tools/dist-check.sh

clean:
	rm -rf build
