# Configures build/ once (Debug, Unix Makefiles) and builds the given targets, or all.
# Source this file; stavimor_build [TARGET...]. Needs $root, the source tree.
# With STAVIMOR_SANITIZE=1 the build goes to build-asan/, with AddressSanitizer and
# UndefinedBehaviorSanitizer; stavimor_build_dir names the folder in use.

stavimor_build_dir()
{
    if [ "${STAVIMOR_SANITIZE:-0}" = 1 ]; then
        echo "$root/build-asan"
    else
        echo "$root/build"
    fi
}

stavimor_build()
{
    local build sanitize=OFF
    build=$(stavimor_build_dir)
    [ "${STAVIMOR_SANITIZE:-0}" != 1 ] || sanitize=ON
    local options=(-DCMAKE_BUILD_TYPE=Debug -DSTAVIMOR_SANITIZE=$sanitize)
    if [ -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
    else
        cmake -S "$root" -B "$build" -G "Unix Makefiles" "${options[@]}"
    fi
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$build" "${targets[@]}" -j2
}
