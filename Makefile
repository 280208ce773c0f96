# The two entry points: `make demo` and `make test`. Both install what is missing first.
.PHONY: deps build demo test test-default test-locale test-asan clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

demo: build
	bash scripts/demo.sh

test-default: build
	ctest --preset default

# Numbers must not depend on the process locale: the same suite under a decimal-comma locale.
test-locale: build
	LC_ALL=pl_PL.UTF-8 LANG=pl_PL.UTF-8 ctest --preset default

test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

test: test-default test-locale test-asan

clean:
	rm -rf build
