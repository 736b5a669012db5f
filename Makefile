# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
# What `make run` passes to tarnwick-cli, e.g. make run ARGS="check --verbose".
ARGS ?= --help

PACKAGES := cmake ninja-build g++ pkg-config ccache \
	libsqlite3-dev libssl-dev libcurl4-openssl-dev \
	libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev \
	dovecot-pop3d dovecot-imapd python3 python3-aiosmtpd openssl ca-certificates

.PHONY: run test packages configure build

run: build
	@if [ -x $(BUILD)/app/cli/tarnwick-cli ]; then \
		$(BUILD)/app/cli/tarnwick-cli $(ARGS); \
	else \
		echo "tarnwick-cli was not built."; exit 1; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

build: configure
	cmake --build $(BUILD) -j $(JOBS)

configure: packages
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

packages:
	@tools/ensure-packages.sh $(PACKAGES)
