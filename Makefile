# make run   installs the dependencies, builds, lays out the runnable folder and starts the program.
# make test  installs the dependencies, builds, checks the includes against the arrows, runs every test headless,
#            then a short fuzz run of every target side by side.
# make screenshots  renders the windows offscreen into build/<preset>/screenshots/.
# make demo  builds, starts the test box on 127.0.0.1 and Veloq beside it, all on loopback.
# make bench-live  what live view costs against ffplay on the same stream, under Xvfb (not part of make test).
PRESET ?= release
BUILD := build/$(PRESET)
DIST := $(BUILD)/dist
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run demo test screenshots bench-live fuzz-smoke fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@./scripts/run.sh $(DIST)

# The test box streaming the fixture on 127.0.0.1 and the program pointed at it; the box stops with Veloq.
demo: build
	@./scripts/demo.sh $(BUILD)/bin $(DIST)

# make screenshots  the windows rendered offscreen into $(BUILD)/screenshots/*.png
screenshots: build
	@cmake --build --preset $(PRESET) --target screenshots

# The CPU time of our live view of the test box and of ffplay on the same stream; BENCH_LIVE_ARGS="--seconds 60".
bench-live: build
	@$(BUILD)/bench-bin/bench_live $(BENCH_LIVE_ARGS)

test: build
	@./scripts/check-includes.sh
	@ctest --preset $(PRESET) -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-smoke

# Every fuzz target for a few seconds each, in the clang ASan/UBSan tree (build/asan).
fuzz-smoke: deps
	@./scripts/fuzz.sh $(FUZZ_SECONDS)

# The long run: make fuzz FUZZ_SECONDS=3600
fuzz: deps
	@./scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
