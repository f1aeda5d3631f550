# Two commands a newcomer needs: `make demo` and `make test`.
CMAKE ?= cmake
JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure -j $(JOBS) --test-dir

.PHONY: demo test bench format format-check clean

# Only what the demo needs: no test tools.
demo:
	./scripts/install-deps.sh demo
	$(CMAKE) -S . -B build-demo -DCHARTLINK_BUILD_TESTS=OFF
	$(CMAKE) --build build-demo -j $(JOBS) --target sine_demo
	./build-demo/sine_demo
	@echo "wrote sine.png"

# Every test, built three ways: g++, g++ with sanitizers, and a shared
# library with clang++; then the Debian packages, built, installed into a
# scratch root and used.
test: format-check
	$(CMAKE) -S . -B build -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build -j $(JOBS)
	$(CTEST) build
	$(CMAKE) -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCHARTLINK_SANITIZE=ON -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build-sanitize -j $(JOBS)
	$(CTEST) build-sanitize
	$(CMAKE) -S . -B build-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DBUILD_SHARED_LIBS=ON -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build-clang -j $(JOBS)
	$(CTEST) build-clang
	DEB_BUILD_OPTIONS="$(strip parallel=$(JOBS) $(DEB_BUILD_OPTIONS))" ./tests/package/run.sh

bench:
	./scripts/install-deps.sh bench
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCHARTLINK_BUILD_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS) --target chartlink_bench
	./build-bench/bench/chartlink_bench

SOURCES = $(shell find plot_control sine_demo examples tests bench -name '*.cpp' -o -name '*.c' -o -name '*.h' -o -name '*.hpp')

format:
	clang-format -i $(SOURCES)

format-check:
	./scripts/install-deps.sh test
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-demo build-sanitize build-clang build-bench sine.png
