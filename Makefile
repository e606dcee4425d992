# Set-up and everyday commands. "make run" and "make test" install what is missing
# (Debian packages), build, and then run the viewer or the test suite.

BUILD ?= build
SAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Debian 12 packages the build, the tests and the demo need.
PACKAGES := cmake ninja-build g++ make qt6-base-dev qt6-base-dev-tools libgl-dev \
    fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick \
    libdbd-xbase-perl python3-dbf python3-dbfread

.PHONY: all deps build demo run test test-asan bench clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The demo table, written from the committed CSV by our table writer.
demo: build
	mkdir -p $(BUILD)/demo
	$(BUILD)/tools/tablewriter demo/gemeinden.csv $(BUILD)/demo/CD_GIS.DBF

run: demo
	cd $(BUILD)/demo && ../app/gemeindedaten

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGD_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/run-benchmarks

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
