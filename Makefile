# The two commands a newcomer needs:
#   make run    installs what is missing, builds, and plays the show
#   make test   installs what is missing, builds, and runs every test
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)
ARGS ?=

.PHONY: all setup configure build run test test-sanitize bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@bash scripts/run.sh $(BUILD_DIR)/bin/demo $(ARGS)

test: build
	@cd $(BUILD_DIR) && SDL_AUDIODRIVER=dummy ctest --no-tests=error --output-on-failure -j$(JOBS)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j$(JOBS) --target demo_tests
	@cd $(SANITIZE_DIR) && SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=offscreen ctest --no-tests=error -L unit --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bin/*_bench; do echo "== $$b"; SDL_AUDIODRIVER=dummy $$b --benchmark_min_time=0.2; done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
