# Shell functions the build and test scripts share; sourced, not run.

# The compiler cache, when there is one: repeated builds (and other clones
# on this machine) reuse what was compiled before. Paths are taken relative
# to the checkout, so that clones in other folders hit the same entries.
# Fills the array crv_launcher with the CMake options that use it.
crv_use_ccache() {
  local root=$1
  crv_launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
    crv_launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
}

# The builds that only run tests (the instrumented ones, the Windows
# stage's) compile at -O1 with line tables only: stack traces still name
# file and line, and compiling takes about 40% less time than at -O2 with
# full debugging information. Options for a RelWithDebInfo configuration.
crv_test_build_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")

# Wine for the Windows build in <build>: a private prefix inside it, only
# error messages about modules (a bare -all would hide a missing DLL, which
# then looks like a silent exit), and no .NET or HTML engine to install.
crv_wine_env() {
  export WINEPREFIX=$1/wineprefix
  export WINEDEBUG=-all,err+module
  export WINEDLLOVERRIDES="mscoree,mshtml="
}
