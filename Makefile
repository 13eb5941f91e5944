# The two commands a newcomer needs:
#   make run    installs what is missing, builds, and plays the show
#   make test   installs what is missing, builds, and runs every test
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
THREAD_DIR ?= build-thread
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := gsp ebr png jpeg
FUZZ_CC ?= clang
FUZZ_CXX ?= clang++
JOBS ?= $(shell nproc)
ARGS ?=

# cmake --build runs make again underneath; keep its "Entering directory"
# lines out of the build output.
MAKEFLAGS += --no-print-directory

.PHONY: all setup configure build data-detail package run test test-sanitize test-thread bench fuzz clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

# The data set again at 2 and 4 times the detail, for screens larger than
# 800 x 600 (the show picks the one its picture needs).
data-detail: build
	@cmake --build $(BUILD_DIR) -j$(JOBS) --target data_detail

# The Debian package, build/quintervale_<version>_amd64.deb; install it with
# sudo apt-get install ./build/quintervale_*.deb
package: build
	@cmake --build $(BUILD_DIR) --target package

run: build
	@bash scripts/run.sh $(BUILD_DIR)/bin/quintervale $(ARGS)

test: build
	@cd $(BUILD_DIR) && SDL_AUDIODRIVER=dummy ctest --no-tests=error --output-on-failure -j$(JOBS)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j$(JOBS) --target demo_tests
	@cd $(SANITIZE_DIR) && SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=offscreen ctest --no-tests=error -L unit --output-on-failure -j$(JOBS)

# The tests of the threaded code (the music's audio callback and clock, the
# capture's frame writer, the capture) under ThreadSanitizer: the first race
# reported fails the test that met it.
test-thread: setup
	@cmake -S . -B $(THREAD_DIR) -DCMAKE_BUILD_TYPE=Debug -DDEMO_TSAN=ON -DDEMO_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(THREAD_DIR) -j$(JOBS) --target demo_thread_tests
	@cd $(THREAD_DIR) && SDL_AUDIODRIVER=dummy TSAN_OPTIONS=halt_on_error=1 \
	  ctest --no-tests=error -L thread --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bin/*_bench; do case $$b in */frame_bench) continue;; esac; echo "== $$b"; SDL_AUDIODRIVER=dummy $$b --benchmark_min_time=0.2; done
	@echo "== frame bench"; SDL_AUDIODRIVER=dummy $(BUILD_DIR)/bin/frame_bench

# The file readers under libFuzzer (clang), each for FUZZ_SECONDS, starting from
# seeds the project's writers make. Fails when any of them finds a crash; the
# input that did it is kept in $(FUZZ_DIR)/crashes, the grown corpora in
# $(FUZZ_DIR)/corpus. The setup adds clang and its fuzzer runtime; a different
# clang can be named with FUZZ_CC/FUZZ_CXX, and it must link -fsanitize=fuzzer.
fuzz:
	@bash scripts/setup.sh fuzz
	@printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }\n' \
	  | $(FUZZ_CXX) -x c++ -fsanitize=fuzzer - -o /dev/null \
	  || { echo "fuzz: $(FUZZ_CXX) cannot link a libFuzzer target (is its fuzzer runtime installed?)" >&2; exit 1; }
	@CC=$(FUZZ_CC) CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_DIR) -DDEMO_FUZZ=ON -DDEMO_BUILD_TESTS=OFF -DDEMO_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS) --target make_seeds $(addsuffix _fuzz,$(FUZZ_TARGETS))
	@$(FUZZ_DIR)/bin/make_seeds $(FUZZ_DIR)/corpus
	@mkdir -p $(FUZZ_DIR)/crashes
	@failed=; for t in $(FUZZ_TARGETS); do \
	  echo "== $${t}_fuzz, $(FUZZ_SECONDS) s"; \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  $(FUZZ_DIR)/bin/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -close_fd_mask=2 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/crashes/$$t- $(FUZZ_DIR)/corpus/$$t || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: found a crash in:$$failed (inputs in $(FUZZ_DIR)/crashes)" >&2; exit 1; fi

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(THREAD_DIR) $(FUZZ_DIR)
