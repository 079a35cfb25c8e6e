# Makefile: the whole set-up on Debian: `make run` plays the animation, `make test` runs every test.
# Both install the Debian packages they need first (through sudo when not root).

BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake make g++ libsdl1.2-dev libx11-dev libgtest-dev \
            xvfb xdotool x11-apps x11-utils openbox libsdl1.2-compat
SUDO     := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all run test deps build clean

all: build

# Installs only what is missing, so that a machine that has everything never touches apt.
deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -q && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/velmorade

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
