# Front door of the project: `make run`, `make test`. Each first installs
# what is missing (Debian 12, apt), configures and builds.

PRESET  ?= mingw-x64
BUILD   := build/x64
APP     ?= aliasdesk
CMAKE   ?= cmake
WINENV  := tools/winenv.sh
NATIVE  := build/native

.PHONY: all deps configure build test native-test run screenshots x86 clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) --preset $(PRESET)

configure: $(BUILD)/CMakeCache.txt

build: configure
	$(CMAKE) --build --preset $(PRESET)

# Every run gets a new Wine prefix, display and wineserver, stopped afterwards;
# then the native sanitizer run.
test: build
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

# On the user's display when there is one; otherwise under Xvfb, with a
# screenshot saved under build/.
run: build
	tools/run.sh $(APP) $(BUILD)

screenshots: build
	tools/screenshots.sh $(BUILD) docs

# The 32-bit build (built only; this machine runs 64-bit Wine).
x86: deps
	$(CMAKE) --preset mingw-x86
	$(CMAKE) --build --preset mingw-x86

clean:
	rm -rf build
