# Shared by the project's scripts; sourced from the repository root.

# Prints a step heading, so a long log reads as a list of what was done.
step() { printf '\n==> %s\n' "$*"; }

# Configures and builds one CMake preset: build_preset NAME [configure args...]
build_preset() {
    local name=$1
    shift
    cmake --preset "$name" "$@"
    cmake --build --preset "$name" -j2
}
