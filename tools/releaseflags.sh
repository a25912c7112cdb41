# The CMake options of the program as the package ships it, for tools/package.sh and tools/test.sh
# (sourced: sets release_options). A Release build with Debian's flags: its optimisation (-O2, not
# CMake's -O3) and hardening (stack protector, fortified functions, read-only relocations), taken from
# the repository folder so that they are the same wherever it is run from. No -g: the program is
# stripped anyway.
release_options=()
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
release_cxxflags=$(cd "$here" && export DEB_BUILD_MAINT_OPTIONS=hardening=+all &&
                   dpkg-buildflags --get CPPFLAGS && dpkg-buildflags --get CXXFLAGS)
release_cxxflags=$(echo $release_cxxflags | sed 's/\(^\| \)-g\( \|$\)/ /')
release_options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG "${launcher[@]}" -DCMAKE_CXX_FLAGS="$release_cxxflags"
                 -DCMAKE_EXE_LINKER_FLAGS="$(cd "$here" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)")
