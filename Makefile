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

# The watcher for SOAK_SECONDS (default ten minutes) against a forum that keeps changing, with
# its memory, handles and window objects sampled every minute.
.PHONY: soak
SOAK_SECONDS ?= 600
soak: deps
	@tools/soak $(SOAK_SECONDS)

# The release for users: dist/forumwatch-VERSION-win32.zip (the 32-bit product, its README.txt and
# SHA256SUMS), the same bytes for the same commit. `make check-dist` builds it twice and compares.
.PHONY: dist check-dist
dist: deps
	@tools/dist

check-dist: deps
	@tools/check-dist
