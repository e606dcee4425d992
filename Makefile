# Set-up and everyday commands. "make run" and "make test" install what is missing
# (Debian packages), build, and then run the viewer or the test suite.

BUILD ?= build
SAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Debian 12 packages the build, the tests and the demo need (scdoc: the manual pages;
# librsvg2-bin: the icon's PNG sizes; dpkg-dev, file, lintian and man-db: the Debian
# package and its test; desktop-file-utils, appstream, shared-mime-info, libglib2.0-bin
# and dbus-daemon: the desktop entry, the metadata and their test; locales: the sources
# of the Turkish and German locales that the locale tests make with localedef).
PACKAGES := cmake ninja-build g++ make qt6-base-dev qt6-base-dev-tools libgl-dev \
    fonts-dejavu-core fonts-dejavu-extra xvfb xauth xdotool x11-utils imagemagick \
    libdbd-xbase-perl python3-dbf python3-dbfread qt6-translations-l10n \
    scdoc librsvg2-bin dpkg-dev file lintian man-db \
    desktop-file-utils appstream shared-mime-info libglib2.0-bin dbus-daemon locales

# The fuzz targets need clang and its sanitizer and libFuzzer runtimes.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
FUZZ_TARGETS := $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/fuzz_*.cpp))

.PHONY: all deps build demo run install deb test test-asan fuzz-deps fuzz bench format format-check clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

# CMAKE_ARGS adds configure options, e.g. CMAKE_ARGS=-DGD_WERROR=ON (as CI does).
CMAKE_ARGS ?=
$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The demo table, written from the committed CSV by our table writer.
demo: build
	mkdir -p $(BUILD)/demo
	$(BUILD)/tools/tablewriter demo/gemeinden.csv $(BUILD)/demo/CD_GIS.DBF

run: demo
	cd $(BUILD)/demo && ../app/gemeindedaten

# The programs, manual pages, desktop entry with its launcher, icons, metadata, README
# and demo CSV under PREFIX (DESTDIR is honoured): bin/, lib/gemeindedaten/,
# share/man/man1/, share/applications/, share/icons/, share/metainfo/,
# share/doc/gemeindedaten/, share/gemeindedaten/.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package $(BUILD)/gemeindedaten_<version>_<arch>.deb (for /usr), made by
# CPack from the build; its library dependencies come from dpkg-shlibdeps.
deb: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/gemeindedaten_*.deb

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer. Any report
# aborts the test that made it (-fno-sanitize-recover), so the run fails; leaks are
# checked at every normal exit, with the few system libraries' own leaks suppressed
# (cmake/lsan.supp; full stacks at allocation, so that the suppressions can match).
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGD_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	$(SAN_ENV) ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

fuzz-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS, FUZZ_JOBS
# at once. Crashers land in $(FUZZ_BUILD)/fuzz-artifacts/<target>/.
fuzz: deps fuzz-deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGD_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	ctest --test-dir $(FUZZ_BUILD) -R '^fuzz_.*_corpus$$' --output-on-failure
	fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_JOBS)

# Benchmarks on synthetic tables of 2,100, 100,000 and 1,000,000 records (written into
# $(BUILD)/bench/cache on the first run); e.g. BENCH_ARGS="--sizes 2100,100000".
bench: build
	$(BUILD)/bench/run-benchmarks $(BENCH_ARGS)

# The C++ sources against the committed .clang-format (Debian 12's clang-format 14).
FORMAT_SOURCES = $(shell git ls-files '*.cpp' '*.h')
format-check:
	@$(MAKE) --no-print-directory deps PACKAGES=clang-format
	@clang-format --dry-run --Werror $(FORMAT_SOURCES) && echo "format-check: $(words $(FORMAT_SOURCES)) files as .clang-format says"

format:
	clang-format -i $(FORMAT_SOURCES)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
