#!/bin/sh
# Cross-builds the CGI statically for 32-bit PowerPC and runs the whole network test
# on that build under qemu-ppc, as the web front end's host would run it.
# Usage: test_powerpc.sh OUT_DIR
set -eu
out_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: network namespaces for the simulated units need root; run it as root:" >&2
  echo "  sudo '$here/test_powerpc.sh' '$out_dir'" >&2
  echo "or, in the build directory: sudo ctest -R discovery_powerpc --output-on-failure" >&2
  exit 77
fi
"$here/../../scripts/cross-build-discovery" "$out_dir"
exec /usr/bin/python3 "$here/test_network.py" --binary "$out_dir/discovery/discovery" --runner qemu-ppc
