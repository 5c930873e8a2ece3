# The two everyday commands: `make run` and `make test`. CMake does the real work.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2

.PHONY: run test build deps configure bench install uninstall deb format clean test-sanitize fuzz mutants

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# Builds Orvo and what it links, not the tests and benchmarks that `make test` builds.
run: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target orvo
	$(BUILD_DIR)/orvo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The tests again with AddressSanitizer and UndefinedBehaviorSanitizer; any finding fails them.
# Leak checks stay off: Qt keeps some allocations for the life of the process on purpose.
SANITIZE_DIR ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_SANITIZE=ON -DORVO_BUILD_BENCH=OFF
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j$(JOBS)

# libFuzzer targets, built with clang in their own folder; each runs a fixed number of inputs
# from its seed corpus in fuzz/corpus/<target>.
FUZZ_DIR ?= build-fuzz
FUZZ_RUNS ?= 200000
# Each search text runs eight queries on a database file: fewer runs in the same time.
FUZZ_QUERY_RUNS ?= 20000
FUZZ_TARGETS ?= fuzz_jetlike fuzz_frequencytext fuzz_findquery fuzz_csv
fuzz:
	@scripts/install-deps.sh --fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_FUZZ=ON -DORVO_BUILD_BENCH=OFF \
		-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
	cmake --build $(FUZZ_DIR) -j$(JOBS) --target $(FUZZ_TARGETS)
	@for target in $(FUZZ_TARGETS); do \
		runs=$(FUZZ_RUNS); [ $$target = fuzz_findquery ] && runs=$(FUZZ_QUERY_RUNS); \
		mkdir -p $(FUZZ_DIR)/corpus/$$target && \
		echo "== $$target: $$runs runs" && \
		$(FUZZ_DIR)/fuzz/$$target -runs=$$runs -max_len=4096 \
			$(FUZZ_DIR)/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

# Plants the faults listed in scripts/mutants.sh one at a time in a copy of the tree (under /tmp)
# and reports which of them the tests catch. FAULTS= picks a few by id or by a word of the id or
# file. A report for people, so neither CI nor `make test` runs it.
FAULTS ?=
mutants: deps
	JOBS=$(JOBS) scripts/mutants.sh $(FAULTS)

format:
	cmake --build $(BUILD_DIR) --target format

clean:
	rm -rf $(BUILD_DIR)

# Generates the 10k, 100k and 1M databases once (under $(BUILD_DIR)/bench-data) and times
# Orvo against bare SQLite on each; the figures are printed, nothing is asserted.
BENCH_SIZES ?= 10000 100000 1000000
bench: configure
	cmake --build $(BUILD_DIR) --target orvo_bench -j$(JOBS)
	@for records in $(BENCH_SIZES); do \
		$(BUILD_DIR)/bench/orvo_bench --records $$records --data $(BUILD_DIR)/bench-data || exit 1; \
	done

# Installs into $(DESTDIR)$(PREFIX) through CMake's install rules. Uninstall removes what the
# last install's manifest lists; the manifest leaves DESTDIR out, so give the same DESTDIR.
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "$(BUILD_DIR)/install_manifest.txt is missing: nothing to uninstall."; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest.txt | xargs -r -d '\n' rm -fv

# A Debian package of what `make install` installs, $(BUILD_DIR)/orvo_<version>_amd64.deb, which
# lintian then checks: any error stops the build.
deb: build
	@deb=$$(scripts/make-deb.sh $(BUILD_DIR) $(BUILD_DIR)) && echo "Built $$deb" && \
		lintian --fail-on error "$$deb"
