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

# Wine for the Windows build in <build>: a private prefix inside it, only
# error messages about modules (a bare -all would hide a missing DLL, which
# then looks like a silent exit), and no .NET or HTML engine to install.
crv_wine_env() {
  export WINEPREFIX=$1/wineprefix
  export WINEDEBUG=-all,err+module
  export WINEDLLOVERRIDES="mscoree,mshtml="
}
