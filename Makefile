# The two everyday commands: `make run` and `make test`. CMake does the real work.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2

.PHONY: run test build deps configure bench install uninstall format clean

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/orvo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

format:
	cmake --build $(BUILD_DIR) --target format

clean:
	rm -rf $(BUILD_DIR)

# Installs into $(DESTDIR)$(PREFIX) through CMake's install rules. Uninstall removes what the
# last install's manifest lists; the manifest leaves DESTDIR out, so give the same DESTDIR.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "$(BUILD_DIR)/install_manifest.txt is missing: nothing to uninstall."; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest.txt | xargs -r -d '\n' rm -fv
