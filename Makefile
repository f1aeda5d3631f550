# Two commands a newcomer needs: `make demo` and `make test`.
CMAKE ?= cmake
JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure -j $(JOBS) --test-dir

.PHONY: demo test tested bench format format-check clean

# Only what the demo needs: no test tools.
demo:
	./scripts/install-deps.sh demo
	$(CMAKE) -S . -B build-demo -DCHARTLINK_BUILD_TESTS=OFF
	$(CMAKE) --build build-demo -j $(JOBS) --target sine_demo
	./build-demo/sine_demo
	@echo "wrote sine.png"

CLANG = -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

# Every test, built five ways: g++ and clang++ (a shared library) at C++17
# and C++20, and g++ with sanitizers; then the thread tests under the
# thread sanitizer; last the Debian packages, built, installed into a
# scratch root and used.
test: format-check
	$(MAKE) tested BUILD=build
	$(MAKE) tested BUILD=build-sanitize FLAGS="-DCMAKE_BUILD_TYPE=Debug -DCHARTLINK_SANITIZE=ON"
	$(MAKE) tested BUILD=build-clang FLAGS="$(CLANG) -DBUILD_SHARED_LIBS=ON"
	$(MAKE) tested BUILD=build-cxx20 FLAGS="-DCHARTLINK_CXX_STANDARD=20"
	$(MAKE) tested BUILD=build-clang-cxx20 FLAGS="$(CLANG) -DCHARTLINK_CXX_STANDARD=20"
	$(MAKE) tested BUILD=build-tsan FLAGS="$(CLANG) -DCHARTLINK_SANITIZE_THREADS=ON" \
		TESTS="-R Thread"
	DEB_BUILD_OPTIONS="$(strip parallel=$(JOBS) $(DEB_BUILD_OPTIONS))" ./tests/package/run.sh

# One build and its tests: BUILD names the tree, FLAGS configure it, TESTS
# choose among them.
tested:
	$(CMAKE) -S . -B $(BUILD) -DCHARTLINK_WERROR=ON $(FLAGS)
	$(CMAKE) --build $(BUILD) -j $(JOBS)
	$(CTEST) $(BUILD) $(TESTS)

bench:
	./scripts/install-deps.sh bench
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCHARTLINK_BUILD_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS) --target chartlink_bench
	./scripts/window-gnuplot.sh build-bench/bench/window-gnuplot
	./build-bench/bench/chartlink_bench

SOURCES = $(shell find plot_control sine_demo examples tests bench -name '*.cpp' -o -name '*.c' -o -name '*.h' -o -name '*.hpp')

format:
	clang-format -i $(SOURCES)

format-check:
	./scripts/install-deps.sh test
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-demo build-sanitize build-clang build-cxx20 build-clang-cxx20 build-tsan \
		build-bench sine.png
