# Front door of the project: `make run`, `make test`. Each first installs
# what is missing (Debian 12, apt), configures and builds.

PRESET  ?= mingw-x64
BUILD   := build/x64
APP     ?= aliasdesk
CMAKE   ?= cmake
WINENV  := tools/winenv.sh

.PHONY: all deps configure build test run screenshots x86 clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) --preset $(PRESET)

configure: $(BUILD)/CMakeCache.txt

build: configure
	$(CMAKE) --build --preset $(PRESET)

# Every run gets a new Wine prefix, display and wineserver, stopped afterwards.
test: build
	rm -rf $(BUILD)/wine-test
	$(WINENV) $(BUILD)/wine-test ctest --preset $(PRESET)

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
