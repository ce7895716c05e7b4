# Configures build/ once (Debug, Unix Makefiles) and builds the given targets, or all.
# Source this file; stavimor_build [TARGET...]. Needs $root, the source tree.

stavimor_build()
{
    local build=$root/build
    if [ -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    else
        cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Debug
    fi
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$build" "${targets[@]}" -j2
}
