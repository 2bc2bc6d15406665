#!/bin/sh
# Fails when docs/register-map.md differs from what the tag definitions generate.
set -u
generated=$(mktemp)
trap 'rm -f "$generated"' EXIT
if ! "$ORVIX_BUILD_BIN/orvix-register-map" -o "$generated" >/dev/null 2>&1; then
  echo "orvix-register-map failed"
  exit 1
fi
if ! diff -u "$ORVIX_SOURCE_DIR/docs/register-map.md" "$generated"; then
  echo "docs/register-map.md is out of date; regenerate it with"
  echo "  build/bin/orvix-register-map -o docs/register-map.md"
  exit 1
fi
