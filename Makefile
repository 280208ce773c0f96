# The two entry points: `make demo` and `make test`. Both install what is missing first.
.PHONY: deps deps-demo configure build demo guide test test-default test-locale test-asan clean

deps:
	bash scripts/install-deps.sh

# What building and running the demo needs: no test readers or browser drivers.
deps-demo:
	bash scripts/install-deps.sh --demo

# An existing build tree is reused as it is (ninja re-runs cmake itself when a CMakeLists.txt changed).
configure:
	@test -f build/default/build.ninja || cmake --preset default >/dev/null

build: deps configure
	cmake --build --preset default

# The demo builds only the two programs it runs.
demo: deps-demo configure
	cmake --build --preset default --target geodraft geodraft-sim
	bash scripts/demo.sh

# The user guide's pictures, taken from the workspace on the demo town.
guide: deps configure
	cmake --build --preset default --target geodraft geodraft-sim
	node tests/browser/guide.mjs build/default/app/geodraft build/default/sim/geodraft-sim docs/images

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
