# Two commands a newcomer needs: `make demo` and `make test`.
CMAKE ?= cmake
JOBS ?= $(shell nproc)

.PHONY: demo test bench format format-check clean

demo:
	./scripts/install-deps.sh demo
	$(CMAKE) -S . -B build -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build -j $(JOBS) --target sine_demo
	./build/sine_demo
	@echo "wrote sine.png"

# Every test, built three ways: g++, g++ with sanitizers, clang++.
test: format-check
	./scripts/install-deps.sh test
	$(CMAKE) -S . -B build -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build -j $(JOBS)
	ctest --test-dir build --output-on-failure
	$(CMAKE) -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCHARTLINK_SANITIZE=ON -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure
	$(CMAKE) -S . -B build-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCHARTLINK_WERROR=ON
	$(CMAKE) --build build-clang -j $(JOBS)
	ctest --test-dir build-clang --output-on-failure

bench:
	./scripts/install-deps.sh test
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCHARTLINK_BUILD_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS) --target chartlink_bench
	./build-bench/bench/chartlink_bench

SOURCES = $(shell find plot_control sine_demo examples tests bench -name '*.cpp' -o -name '*.c' -o -name '*.h')

format:
	clang-format -i $(SOURCES)

format-check:
	./scripts/install-deps.sh test
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-sanitize build-clang build-bench sine.png
