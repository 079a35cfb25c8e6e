# Makefile: the whole set-up on Debian: `make run` plays the animation, `make test` runs every test.
# Both install the Debian packages they need first (through sudo when not root).

BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
WEB_BUILD  ?= build-web
WEB_CMAKE  ?= build-emscripten
SITE_BUILD ?= build-site
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
SUDO       := $(if $(filter 0,$(shell id -u)),,sudo)
DEBIAN     := $(shell . /etc/os-release 2>/dev/null && echo $$VERSION_CODENAME)

# To build and run; the tests add their own below.
PACKAGES := cmake make g++ pkg-config libsdl1.2-dev libx11-dev libxext-dev libxrandr-dev libxinerama-dev \
            libwayland-dev wayland-protocols gettext po4a python3 appstream
# The apt repository: apt-ftparchive, GnuPG to sign, appstreamcli for the software centres' data.
APT_PACKAGES := apt-utils gnupg appstream xz-utils python3
# A build with the tests (every target but run) needs GoogleTest too.
GTEST_PACKAGES := libgtest-dev
TEST_PACKAGES := xvfb xdotool x11-apps x11-utils x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy \
                 openbox libsdl1.2-compat \
                 procps xscreensaver desktop-file-utils groff-base appstream lintian wine64 unzip icoutils \
                 chromium chromium-driver python3-selenium firefox-esr imagemagick \
                 locales-all fonts-ipafont-gothic tesseract-ocr tesseract-ocr-deu tesseract-ocr-jpn
# Debian 12 proves Debian 13 in a chroot, and Debian 14 with `make test-next`; from Debian 13 on
# the tests also run the program on SDL 3, through sdl2-compat, and in Wayland sessions: sway's,
# mutter's, KWin's, Weston's and labwc's.
ifeq ($(DEBIAN),bookworm)
TEST_PACKAGES += debootstrap git qemu-user-static binfmt-support $(APT_PACKAGES)
else
TEST_PACKAGES += libsdl2-compat sway grim wtype xwayland mutter dbus-daemon kwin-wayland weston labwc wlr-randr
endif
# To make the .deb: dpkg-shlibdeps works out its Depends, and CPack finds the programs with file.
DEB_PACKAGES := dpkg-dev file
# To cross-build for Windows, SDL from Debian's source package included.
WINDOWS_PACKAGES := cmake make g++-mingw-w64-x86-64-posix dpkg-dev debian-archive-keyring xz-utils nsis osslsigncode
# To build the web page: Debian's Emscripten, SDL 1.2 and its library cache included, and
# rsvg-convert for the touch icon a phone's home screen shows.
WEB_PACKAGES := cmake make emscripten librsvg2-bin
LINT_PACKAGES := clang-tidy clang-format cppcheck
# GitHub's workflow parser comes from npm, which Debian packages apart from Node.js; a system
# whose npm came with its Node.js keeps that one.
NPM_PACKAGES := $(if $(shell command -v npm),,npm)
# The release: the source from git, the web app's zip.
RELEASE_PACKAGES := git zip
DOCS_PACKAGES := xvfb x11-apps xdotool imagemagick

SOURCES := $(wildcard src/*.h src/*/*.h src/*/*.cpp tests/*.h tests/*.cpp tests/*/*.cpp bench/*.cpp)
# Built only by the Windows cross build, so absent from the native build's compile commands.
WINDOWS_ONLY := src/saver/windows_saver.cpp src/place/windows.cpp tests/e2e/preview_host.cpp

.PHONY: all run test test-next lint bench package package-arm64 release site screenshots deps build windows web clean

all: build

test lint: PACKAGES += $(TEST_PACKAGES) $(NPM_PACKAGES)
test windows: PACKAGES += $(WINDOWS_PACKAGES)
test web bench: PACKAGES += $(WEB_PACKAGES)
test package: PACKAGES += $(DEB_PACKAGES)
lint: PACKAGES += $(LINT_PACKAGES)
screenshots: PACKAGES += $(DOCS_PACKAGES)
bench: PACKAGES += $(TEST_PACKAGES) debootstrap
test release: PACKAGES += $(RELEASE_PACKAGES)
release: PACKAGES += $(DEB_PACKAGES) $(WINDOWS_PACKAGES) $(WEB_PACKAGES)
test-next: PACKAGES += $(DEB_PACKAGES) debootstrap git
package-arm64 release: PACKAGES += debootstrap

# Elsewhere than on Debian, what building and running needs, looked for by the commands and the
# headers; named with the packages of the larger distributions when something is missing.
HEADERS := SDL/SDL.h X11/Xlib.h X11/extensions/XShm.h X11/extensions/Xrandr.h X11/extensions/Xinerama.h
INCLUDE_DIRS ?= /usr/include /usr/local/include
define NOT_DEBIAN
No apt-get or dpkg here, so nothing is installed for you. Velmorade needs CMake, make, a C++17
compiler, SDL 1.2's development files (sdl12-compat's) and Xlib's with XShm, RandR and Xinerama;
to find the output in focus in a Wayland session, pkg-config, libwayland-client's and wayland-protocols;
for the translations, gettext, po4a, Python 3 and AppStream's rules for gettext:
  Fedora:  sudo dnf install cmake make gcc-c++ sdl12-compat-devel libX11-devel libXext-devel libXrandr-devel libXinerama-devel pkgconf wayland-devel wayland-protocols-devel gettext po4a python3 appstream
  Arch:    sudo pacman -S --needed cmake make gcc sdl12-compat libx11 libxext libxrandr libxinerama pkgconf wayland wayland-protocols gettext po4a python appstream
  elsewhere, the same under your distribution's names. `make test` and the packages need Debian.
endef
export NOT_DEBIAN

# Installs only what is missing, so that a machine that has everything never touches apt. With
# E2E_SKIP_MISSING set (testing, which moves daily), a package the release lacks is left out.
deps:
	@if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then \
		missing=$$(for t in cmake make c++ msgfmt po4a-translate python3; do command -v $$t >/dev/null 2>&1 || echo $$t; done; \
			for h in $(HEADERS); do found=; for d in $(INCLUDE_DIRS); do [ -f $$d/$$h ] && found=1; done; \
				[ -n "$$found" ] || echo $$h; done); \
		[ -z "$$missing" ] && exit 0; \
		echo "$$NOT_DEBIAN"; echo "Missing:" $$missing; exit 1; \
	fi; \
	missing=$$(for p in $(PACKAGES) $(if $(filter ON,$(TESTS)),$(GTEST_PACKAGES)); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ] && [ -n "$(SUDO)" ] && ! command -v sudo >/dev/null 2>&1; then \
		echo "These Debian packages are missing, and only root can install them (there is no sudo here):"; \
		echo "  " $$missing; \
		echo "Install them as root, then run make again:"; \
		echo "  apt-get install --no-install-recommends" $$missing; \
		exit 1; \
	fi; \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -q || exit 1; \
		if [ -n "$${E2E_SKIP_MISSING:-}" ]; then \
			missing=$$(for p in $$missing; do \
				if apt-cache policy $$p 2>/dev/null | grep -q 'Candidate: [^(]'; then echo $$p; \
				else echo "This release has no $$p: the checks that need it are skipped." >&2; fi; done); \
		fi; \
		[ -z "$$missing" ] || $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

# The tests need GoogleTest, which running and the cross builds do not.
TESTS := ON
run windows web: TESTS := OFF

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMORADE_TESTS=$(TESTS)
	cmake --build $(BUILD) -j $(JOBS)

# The program ends with status 1 however it ends, Escape included: that status is no make error.
run: build
	./$(BUILD)/velmorade || [ $$? -eq 1 ]

# The Windows release, $(WIN_BUILD)/velmorade-<version>-win64.zip and the setup beside it,
# velmorade-<version>-win64-setup.exe, with SDL built for it once. With a code-signing certificate,
# CODESIGN_PKCS12 (or a key in a token: CODESIGN_PKCS11_MODULE, CODESIGN_KEY, a pkcs11: URI, and
# CODESIGN_CERTS) and CODESIGN_PASSWORD_FILE, the programs, the setup and its uninstaller are
# signed, timestamped by CODESIGN_TIMESTAMP and checked against the roots in CODESIGN_ROOTS, and
# the detached signatures kept in $(WIN_BUILD)/signatures/; with CODESIGN_SIGNATURES, a release's
# signatures folder, those are attached instead, which gives the released files byte for byte.
CODESIGN_PKCS12 ?=
CODESIGN_PKCS11_MODULE ?=
CODESIGN_KEY ?=
CODESIGN_CERTS ?=
CODESIGN_PASSWORD_FILE ?=
CODESIGN_TIMESTAMP ?= http://timestamp.digicert.com
CODESIGN_ROOTS ?= /etc/ssl/certs/ca-certificates.crt
CODESIGN_SIGNATURES ?=
codesign_path = $(if $(1),$(abspath $(1)))
windows: deps
	cmake/build-sdl-windows.sh $(WIN_BUILD)
	cmake -S . -B $(WIN_BUILD) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DSDL_PREFIX=$(CURDIR)/$(WIN_BUILD)/sdl \
		-DCODESIGN_PKCS12=$(call codesign_path,$(CODESIGN_PKCS12)) -DCODESIGN_PKCS11_MODULE=$(CODESIGN_PKCS11_MODULE) \
		-DCODESIGN_KEY="$(CODESIGN_KEY)" -DCODESIGN_CERTS=$(call codesign_path,$(CODESIGN_CERTS)) \
		-DCODESIGN_PASSWORD_FILE=$(call codesign_path,$(CODESIGN_PASSWORD_FILE)) -DCODESIGN_TIMESTAMP="$(CODESIGN_TIMESTAMP)" \
		-DCODESIGN_ROOTS=$(call codesign_path,$(CODESIGN_ROOTS)) -DCODESIGN_SIGNATURES=$(call codesign_path,$(CODESIGN_SIGNATURES))
	cmake --build $(WIN_BUILD) -j $(JOBS)
	cd $(WIN_BUILD) && umask 022 && cpack

# The web app, $(WEB_BUILD)/, a folder to copy to a static host: velmorade.html, one file that
# holds the program and its page and works alone too, its manifest, icons and service worker.
# Emscripten builds in $(WEB_CMAKE); a $(WEB_BUILD) that was once its build tree is made anew.
# Debian's emcc runs its tools with the first node on PATH, which must find Debian's own
# JavaScript modules.
web: export NODE_PATH := /usr/share/nodejs
web: deps
	[ ! -f $(WEB_BUILD)/CMakeCache.txt ] || rm -rf $(WEB_BUILD)
	emcmake cmake -S . -B $(WEB_CMAKE) -DCMAKE_BUILD_TYPE=Release -DVELMORADE_WEB_APP=$(CURDIR)/$(WEB_BUILD)
	cmake --build $(WEB_CMAKE) -j $(JOBS)

# The project's key, in a GnuPG home: it signs the apt repository (make site) and a release's
# SHA256SUMS (make release).
SIGNING_GNUPGHOME ?=

# The project's site, $(SITE_BUILD)/: the web app, with the home page and the picture that the
# AppStream data links to beside it. With SIGNING_GNUPGHOME, also the signed apt repository of
# this version's .debs, $(SITE_BUILD)/apt/, and the key's public half there.
site: PACKAGES += $(if $(SIGNING_GNUPGHOME),$(APT_PACKAGES) $(DEB_PACKAGES) debootstrap)
site: web $(if $(SIGNING_GNUPGHOME),package package-arm64)
	rm -rf $(SITE_BUILD)
	cp -R $(WEB_BUILD) $(SITE_BUILD)
	cp $(WEB_CMAKE)/index.html docs/velmorade.png $(SITE_BUILD)/
	$(if $(SIGNING_GNUPGHOME),cmake/apt-repo.sh $(SITE_BUILD)/apt $(SIGNING_GNUPGHOME) \
		$(BUILD)/velmorade_$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $(BUILD)/CMakeCache.txt)_*.deb)

# The Debian package, $(BUILD)/velmorade_<version>_<arch>.deb. CPack's folders take the umask,
# so it is set as every package's folders are, 755, whatever the builder's: under 027 the .deb
# would make /usr/share/doc/velmorade unreadable to users.
package: build
	cd $(BUILD) && umask 022 && cpack

# The arm64 .deb, $(BUILD)/velmorade_<version>_arm64.deb, cross-built in a Debian 12 root of its
# own, kept in $(ARM64_ROOT) (as root: debootstrap, chroot and mounts).
ARM64_ROOT ?= $(BUILD)/bookworm-cross
package-arm64: deps
	$(SUDO) env SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH) cmake/package-arm64.sh $(BUILD) $(ARM64_ROOT)

# Every file a release offers, in $(DIST)/: the source, the .debs, the Windows setup and zip (their
# programs signed, and the signatures detached beside them, with the CODESIGN_ variables above),
# the web app's zip and SHA256SUMS (signed where SIGNING_GNUPGHOME is given), made from the last
# commit. They are the same from build to build: times come from that commit and are written in
# UTC. TAG=vVERSION makes sure the tag names the version the project defines.
DIST ?= dist
release: export SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
release: export TZ := UTC
release: TESTS := OFF
release: package package-arm64 windows web
	SIGNING_GNUPGHOME=$(SIGNING_GNUPGHOME) cmake/release.sh $(DIST) $(BUILD) $(WIN_BUILD) $(WEB_BUILD) $(TAG)

# Every test on the release build (the end-to-end ones one at a time, so that no two programs
# compete for the CPU while they are timed), the Windows release under Wine and the web page in
# Chromium and Firefox among them, then the
# unit tests and a run of the program in a build with AddressSanitizer and UndefinedBehaviorSanitizer;
# then, on Debian 12, the arm64 .deb on Debian 12 and 13 arm64 under qemu-user, and all of it again on
# Debian 13 in a chroot.
test: build windows site
	cmake -S . -B $(BUILD) -DVELMORADE_WINDOWS_BUILD=$(CURDIR)/$(WIN_BUILD) -DVELMORADE_WEB_BUILD=$(CURDIR)/$(WEB_BUILD) \
		-DVELMORADE_SITE_BUILD=$(CURDIR)/$(SITE_BUILD)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE e2e && ctest --output-on-failure -L e2e
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORADE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L 'unit|sanitized'
ifeq ($(DEBIAN),bookworm)
	$(SUDO) cmake/package-arm64.sh $(BUILD) $(ARM64_ROOT)
	$(SUDO) cmake/arm64-checks.sh $(BUILD) $(BUILD)/velmorade_*_arm64.deb
	$(SUDO) cmake/debian-chroot.sh trixie $(BUILD) $(BUILD)/tests/package/velmorade_*.deb
	$(SUDO) cmake/apt-checks.sh $(BUILD) $(BUILD)/tests/package/velmorade_*.deb $(BUILD)/velmorade_*_arm64.deb
endif

# Debian 14 (forky, the testing release), proven as Debian 13 is, in a chroot of its own: not part
# of make test, as testing moves daily. A check whose tool forky lacks is skipped, saying which.
test-next: build
	cd $(BUILD) && umask 022 && cpack
	$(SUDO) cmake/debian-chroot.sh forky $(BUILD) $(BUILD)/velmorade_*.deb

lint: build
	clang-format --dry-run --Werror $(SOURCES)
	clang-tidy -p $(BUILD) --quiet $(filter-out $(WINDOWS_ONLY),$(filter %.cpp,$(SOURCES)))
	cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability --std=c++17 \
		--library=googletest --library=sdl --inline-suppr -Isrc \
		--suppress=missingIncludeSystem --suppress=missingInclude --suppress='useStlAlgorithm:tests/*' \
		src tests bench
	tests/workflow_check.sh $(BUILD)
	tests/manifest_check.sh $(BUILD)
	tests/doc_links.sh README.md NEWS.md docs/*.md

# Timings, not tests: calc against the plain loop and a fresh write; the real program's start-up
# under Xvfb against a fresh write and a write into mapped memory; what playing costs on each SDL
# stack (on SDL 3, under KWin and sway in the Debian 13 chroot, except on Debian 13 itself; on
# X11 with Debian 14's SDL 3 in its chroot); the web page's start-up and play in Chromium.
bench: build web
	./$(BUILD)/bench/calc_bench
	bench/startup_bench.sh $(BUILD)
	bench/play_bench.sh $(BUILD)
	/usr/bin/python3 bench/web_bench.py $(WEB_BUILD)/velmorade.html
ifeq ($(DEBIAN),bookworm)
	$(SUDO) cmake/debian-chroot.sh trixie $(BUILD) --bench
endif
ifneq ($(DEBIAN),forky)
	$(SUDO) cmake/debian-chroot.sh forky $(BUILD) --bench
endif

# Retakes the pictures in docs/ from the real program.
screenshots: build
	docs/take_screenshots.sh $(BUILD)

# Refuses while a chroot in $(BUILD) has anything mounted: it would reach the system's /dev.
clean:
	@! findmnt -rn -o TARGET | grep -q '^$(CURDIR)/$(BUILD)/' || { echo "$(BUILD) has mounts in it"; exit 1; }
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) $(WEB_BUILD) $(WEB_CMAKE) $(SITE_BUILD) $(DIST)
