# Shared by scripts/windows/build-libs and scripts/windows-prefix: where the cross-built libraries
# live and the key that names one build of them. Sourced, not run.

# TORVANE_MINGW_ROOT moves the prefixes elsewhere (to try the recipe without touching the cache).
mingw_root="${TORVANE_MINGW_ROOT:-/opt/torvane-mingw}"
mingw_src_cache=/var/cache/torvane-mingw-src
# The Windows host the libraries are built for: Torvane.exe is a 32-bit program (i686).
# TORVANE_MINGW_HOST=x86_64-w64-mingw32 builds the same recipe for 64-bit Windows.
mingw_host="${TORVANE_MINGW_HOST:-i686-w64-mingw32}"
# Per host: meson's cpu family and cpu (CMake's CMAKE_SYSTEM_PROCESSOR is the cpu), OpenSSL's
# target, the part of Debian's package names that names the host, and the compiler flags of every
# library. On i686, SSE2 arithmetic instead of x87's 80-bit registers gives the float results of
# the x86-64 builds. 32-bit Windows guarantees only 4-byte stack alignment where it calls into a
# program (window procedures, callbacks, threads it starts) and SSE code may want 16: with
# -mstackrealign (which -msse2 implies on this target; given here so that it stays) each function
# that needs 16 realigns its own frame, whoever called it.
case "$mingw_host" in
  i686-w64-mingw32)
    mingw_cpu_family=x86 mingw_cpu=i686 mingw_openssl_target=mingw mingw_package_arch=i686
    mingw_arch_flags=(-msse2 -mfpmath=sse -mstackrealign) ;;
  x86_64-w64-mingw32)
    mingw_cpu_family=x86_64 mingw_cpu=x86_64 mingw_openssl_target=mingw64 mingw_package_arch=x86-64
    mingw_arch_flags=() ;;
  *) echo "common.sh: unknown host $mingw_host" >&2; return 1 ;;
esac
mingw_recipe_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mingw_apt_sources=/etc/apt/sources.list.d/torvane-bookworm-src.sources

# Debian source packages built from source, taken from the bookworm suite.
mingw_source_packages=(libpng1.6 pixman cairo harfbuzz libwebp openssl curl cpp-httplib benchmark)
# Installed Debian packages whose files go into the prefix or build it; their versions are part
# of the key too.
mingw_tool_packages=("gcc-mingw-w64-$mingw_package_arch-posix" "g++-mingw-w64-$mingw_package_arch-posix"
  "mingw-w64-$mingw_package_arch-dev" libz-mingw-w64-dev googletest nlohmann-json3-dev)

# "package version" of each source package as the bookworm suite serves it, from apt's lists
# (no download). Fails when the deb-src entry or its lists are missing.
mingw_source_versions() {
  local uris
  uris="$(apt-get source --print-uris -qq "${mingw_source_packages[@]/%//bookworm}" 2>/dev/null)" || return 1
  local p dsc
  for p in "${mingw_source_packages[@]}"; do
    dsc="$(printf '%s\n' "$uris" | awk -v p="$p" '{ f = $2; if (index(f, p "_") == 1 && f ~ /\.dsc$/) print f }' | head -n 1)"
    [ -n "$dsc" ] || return 1
    dsc="${dsc%.dsc}"
    printf '%s %s\n' "$p" "${dsc#"${p}"_}"
  done
}

mingw_tool_versions() {
  local p v
  for p in "${mingw_tool_packages[@]}"; do
    v="$(dpkg-query -W -f='${Version}' "$p" 2>/dev/null)" || return 1
    printf '%s %s\n' "$p" "$v"
  done
}

# The files whose content decides what the prefix holds.
mingw_recipe_files=(common.sh build-libs)

# Everything the key covers: the host, the versions, then a hash of each recipe file.
mingw_key_material() {
  printf 'host %s\n' "$mingw_host"
  mingw_source_versions || return 1
  mingw_tool_versions || return 1
  (cd "$mingw_recipe_dir" && sha256sum "${mingw_recipe_files[@]}")
}

mingw_prefix_path() {
  local material
  material="$(mingw_key_material)" || return 1
  printf '%s/%s\n' "$mingw_root" "$(printf '%s\n' "$material" | sha256sum | cut -c1-16)"
}
