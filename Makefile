# The commands.  Each one first makes sure the toolchain is installed.
BUILD    := build
CONFIG   := $(BUILD)/CMakeCache.txt
JOBS     ?= 2
RUN      := tools/with-display.sh
WINERUN  := tools/winerun.sh
HOST     := $(BUILD)/host/vantrel-host.exe
# Each build folder has its own Wine prefixes.
export VANTREL_WINE_ROOT := $(abspath $(BUILD))/wine

.PHONY: all toolchain dll build test demo host bench soak clean

all: build

toolchain:
	@tools/ensure-toolchain.sh

$(CONFIG): | toolchain
	@mkdir -p $(BUILD)
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >$(BUILD)/configure.log 2>&1 \
	  || { cat $(BUILD)/configure.log; rm -f $(CONFIG); exit 1; }

dll: toolchain $(CONFIG)
	@cmake --build $(BUILD) --target vantrel -j $(JOBS)

build: toolchain $(CONFIG)
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@$(RUN) ctest --test-dir $(BUILD) --output-on-failure

demo: build
	@$(RUN) $(WINERUN) --timeout 120 $(HOST) demo $(BUILD)/vantrel.dll $(SCENARIO)

host: build
	@$(RUN) --real-display $(WINERUN) --timeout 86400 $(HOST) interactive $(BUILD)/vantrel.dll

bench: build
	@$(RUN) $(WINERUN) --timeout 3000 $(BUILD)/bench/vantrel-bench.exe Z:$(abspath $(BUILD)) $(BENCH_ARGS)
	@gnuplot -e "data='$(BUILD)/bench/pass.dat'; out='$(BUILD)/bench/pass.png'" bench/pass.gp && echo "written: $(BUILD)/bench/pass.png"

soak: build
	@$(RUN) $(WINERUN) --timeout 5000 $(BUILD)/bench/vantrel-soak.exe Z:$(abspath $(BUILD)) $(SOAK_ARGS)

clean:
	rm -rf $(BUILD)
