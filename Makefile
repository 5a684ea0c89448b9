# The two commands: `make run` builds and starts the saver; `make test` builds every target and runs
# every test. Both install missing Debian packages first. `make test-linux` is the quick loop while
# working: the two Linux builds and their tests only. `make package` builds the Debian package, the
# Windows zip and the Windows installer into build/packages; `make reproducible-check` builds them
# twice, in two folders, and compares the bytes.

.PHONY: all deps deps-run format-check build build-linux build-windows build-web web build-fuzz fuzz test test-linux run package reproducible-check clean

# Every package is dated by the last commit, so that two builds of one commit give the same bytes.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
export SOURCE_DATE_EPOCH

all: build

deps:
	@scripts/install-deps.sh

# Only what building and running the Linux saver needs.
deps-run:
	@scripts/install-deps.sh run

# Every C++ file as the project's .clang-format lays it out; `clang-format -i FILE` mends one.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

build-linux: deps
	cmake --preset linux-debug
	cmake --build --preset linux-debug
	cmake --preset linux-release
	cmake --build --preset linux-release

build-windows: deps
	cmake --preset mingw-i686-release
	cmake --build --preset mingw-i686-release
	cmake --preset mingw-x64-release
	cmake --build --preset mingw-x64-release

# The browser page, built by emscripten into build/web: index.html, loopster.js and the core as
# loopster-core.js and loopster-core.wasm. Open it with `python3 -m http.server -d build/web`.
build-web: deps
	cmake --preset web
	cmake --build --preset web

web: build-web

build: build-linux build-windows build-web

build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

# The settings reader under libFuzzer for a bounded 30 seconds; a crash or a broken invariant fails.
fuzz: build-fuzz
	mkdir -p build/fuzz/settings_corpus
	build/fuzz/core/settings/settings_fuzz -max_total_time=30 -max_len=8192 -print_final_stats=1 \
		build/fuzz/settings_corpus core/settings/fuzz_seeds

# The fast loop: the Linux debug build (sanitizers) and release build with their tests, including
# the end-to-end runs under Xvfb; no Windows builds, no Wine and no fuzzing.
test-linux: format-check build-linux
	ctest --preset linux-debug
	ctest --preset linux-release

test: format-check build fuzz
	ctest --preset linux-debug
	ctest --preset linux-release
	ctest --preset mingw-i686-release
	ctest --preset mingw-x64-release

# The Debian package from the source package in debian/ (dpkg-buildpackage in a clean copy under
# build/deb, its unit tests included), the zip and the installer from the 32-bit Windows build.
package: deps
	rm -rf build/packages
	packaging/build_deb.sh build/deb build/packages
	cmake --preset mingw-i686-release
	cmake --build --preset mingw-i686-release --target windows_packages
	cp build/mingw-i686-release/packages/loopster-*-windows.zip \
		build/mingw-i686-release/packages/loopster-*-setup.exe build/packages/
	@ls -l build/packages

# Two `make package` runs of the last commit, in two folders, one after the other, without ccache,
# compared byte for byte: two full package builds, 6 minutes on 2 quiet cores.
reproducible-check: deps
	packaging/reproducible_check.sh

# Builds only the saver and the lab that draws its animation; `make test` builds the rest.
run: deps-run
	cmake --preset linux-release
	cmake --build --preset linux-release --target loopster loopster-lab
	scripts/run-saver.sh build/linux-release

clean:
	rm -rf build
