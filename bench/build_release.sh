# Sourced by the benchmark scripts: builds one target in a Release tree of its own, quietly,
# and shows the build's output only when it fails.
# kesta_build_release SCRIPT BUILD_DIR BENCH(ON|OFF) TARGET
kesta_build_release() {
    local script="$1" build="$2" bench="$3" target="$4" log
    log="$(mktemp "${TMPDIR:-/tmp}/kesta_bench_build.XXXXXX")"
    if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTA_TESTS=OFF \
               -DKESTA_BENCH="$bench" &&
           cmake --build "$build" -j2 --target "$target"; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "$script: building $target failed" >&2
        exit 1
    fi
    rm -f "$log"
}
