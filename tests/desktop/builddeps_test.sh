#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/setup installs what debian/control declares, read as dpkg reads it: for `run` the
# Build-Depends a build without its tests needs (profile nocheck) and the package's Depends and
# Recommends, for `test` all Build-Depends besides; and beyond the control file only the
# compiler, which Build-Depends leave implied, and the fuzzers' clang. Skipped, exit status 77,
# where dpkg-dev (its Perl modules) is not installed.
#   builddeps_test.sh SOURCE_FOLDER
set -euo pipefail
cd "$1"
if ! perl -MDpkg::Control::Info -MDpkg::Deps -e 1 2>/dev/null; then
    echo "skipped: dpkg-dev is not installed, so debian/control cannot be read as dpkg reads it"
    exit 77
fi

# The package names of a field, with the given build profiles active; debhelper-compat, which
# only the Debian build needs, left out.
#   declared source|binary FIELD [PROFILE...]
declared() {
    perl -MDpkg::Control::Info -MDpkg::Deps -e '
        my ($stanza, $field, @profiles) = @ARGV;
        my $control = Dpkg::Control::Info->new("debian/control");
        my $fields = $stanza eq "source" ? $control->get_source : $control->get_pkg_by_name("corvane");
        (my $text = $fields->{$field} // "") =~ s/\$\{[^}]*\},?//g;
        my $deps = deps_parse($text, build_dep => $stanza eq "source", reduce_profiles => 1,
                              build_profiles => \@profiles)
            or die "debian/control: $field cannot be parsed\n";
        deps_iterate($deps, sub { print $_[0]->{package}, "\n"; 1 });' "$@" |
        grep -vx debhelper-compat || true
}
runtime=$(declared binary Depends; declared binary Recommends)
expected_run=$( (echo build-essential; declared source Build-Depends nocheck; echo "$runtime") | sort -u)
expected_test=$( (echo "$expected_run"; declared source Build-Depends; echo clang; echo libclang-rt-14-dev) | sort -u)

failures=0
for mode in run test; do
    expected=expected_$mode
    listed=$(scripts/setup --list "$mode")
    if [ "$listed" != "${!expected}" ]; then
        echo "FAIL: scripts/setup $mode and debian/control differ (< setup, > control):"
        diff <(echo "$listed") <(echo "${!expected}") | grep '^[<>]' || true
        failures=$((failures + 1))
    fi
done
echo "$failures failures; build: $(echo "$expected_run" | wc -l) packages, test: $(echo "$expected_test" | wc -l)"
[ "$failures" -eq 0 ]
