# Daily work. ./run.sh and ./test.sh do the same from a bare machine.
.PHONY: deps build release test tsan bench run format clean

deps:
	scripts/deps.sh

build:
	scripts/build.sh debug

release:
	scripts/build.sh release

test:
	./test.sh

bench: release
	scripts/deps.sh bench
	build/release/bin/tarvenix-bench $(BENCH)

run:
	./run.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
