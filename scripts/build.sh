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

# A Release build of one target into build-release/, for the tools whose figures measure the
# program; stavimor_release_dir names the folder.
stavimor_release_dir()
{
    echo "$root/build-release"
}

stavimor_release_build()
{
    cmake -S "$root" -B "$(stavimor_release_dir)" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$(stavimor_release_dir)" --target "$1" -j2 >/dev/null
}
