# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
# With ARGS, `make run` starts tarnwick-cli with them instead of the desktop
# program, e.g. make run ARGS="check --verbose".
ARGS ?=

PACKAGES := cmake ninja-build g++ pkg-config ccache \
	libsqlite3-dev libssl-dev libcurl4-openssl-dev \
	libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev libmimalloc-dev \
	dovecot-pop3d dovecot-imapd python3 python3-aiosmtpd openssl ca-certificates \
	qt6-base-dev fonts-dejavu-core

.PHONY: run test packages configure build

run: build
	@if [ -n "$(ARGS)" ]; then \
		exec $(BUILD)/app/cli/tarnwick-cli $(ARGS); \
	elif [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		exec $(BUILD)/app/desktop/tarnwick; \
	else \
		echo "No graphical session (DISPLAY and WAYLAND_DISPLAY are unset): here is the command-line front end."; \
		exec $(BUILD)/app/cli/tarnwick-cli --help; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

build: configure
	cmake --build $(BUILD) -j $(JOBS)

configure: packages
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

packages:
	@tools/ensure-packages.sh $(PACKAGES)
