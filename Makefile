# The two commands for a fresh Debian machine: `make demo` and `make test`. Each installs what is
# missing (apt) and builds first.
.PHONY: all deps build test demo fuzz

all: build

deps:
	@tools/install-deps

build: deps
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 -j$$(nproc)

test: deps
	@tools/run-tests

demo: deps
	@tools/demo

# Every fuzz target for FUZZ_SECONDS each (default 30 minutes); `make test` runs a few seconds of each.
FUZZ_SECONDS ?= 1800
fuzz: deps
	@tools/fuzz $(FUZZ_SECONDS)
