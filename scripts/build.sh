#!/usr/bin/env bash
# Configures and builds both presets: win32 (the product, its tools and
# Windows tests) and native (the portable core and payloadtool's check with
# sanitizers, and the fuzzers). PRESETS chooses others (win64: the same
# sources for x86-64; release: the release's programs and documents, which
# scripts/release.sh packs). None of it runs Wine, and every preset builds on
# a host without 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
for preset in ${PRESETS:-native win32}; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
