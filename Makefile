# The two commands: `make run` builds and starts the saver; `make test` builds every target and runs
# every test. Both install missing Debian packages first. `make test-linux` is the quick loop while
# working: the two Linux builds and their tests only. `make package` builds the Debian package and
# the Windows zip into build/packages.

.PHONY: all deps format-check build build-linux build-windows build-fuzz fuzz test test-linux run package clean

all: build

deps:
	@scripts/install-deps.sh

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

build: build-linux build-windows

build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

# The settings reader under libFuzzer for a bounded 30 seconds; a crash or a broken invariant fails.
fuzz: build-fuzz
	mkdir -p build/fuzz/settings_corpus
	build/fuzz/settings_dialog/settings_fuzz -max_total_time=30 -max_len=8192 -print_final_stats=1 \
		build/fuzz/settings_corpus settings_dialog/fuzz_seeds

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

package: deps
	cmake --preset linux-release
	cmake --build --preset linux-release
	cmake --preset mingw-i686-release
	cmake --build --preset mingw-i686-release
	cpack --preset deb
	cpack --preset windows-zip
	rm -rf build/packages/_CPack_Packages
	@ls -l build/packages

run: deps
	cmake --preset linux-release
	cmake --build --preset linux-release
	scripts/run-saver.sh build/linux-release

clean:
	rm -rf build
