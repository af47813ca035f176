#!/usr/bin/env bash
# Runs the sound program under Wine twice, each time with a complete ALSA configuration of its
# own: first a device that records everything played into a WAV file, then no usable device.
# Usage: sound_test.sh SOURCE_DIR PROGRAM.exe
set -euo pipefail
src=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Wine would try PulseAudio before ALSA; the test must reach the configured ALSA device.
export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"

sed "s|@RECORD_FILE@|$work/record.wav|" "$src/tests/media/asound-record.conf.in" >"$work/record.conf"
echo "== with a recording device"
ALSA_CONFIG_PATH=$work/record.conf FORUMWATCH_SOUND_RECORD=$work/record.wav \
    "$src/tools/wine-run" "$program" --gtest_brief=1

echo "== without a device"
ALSA_CONFIG_PATH=$src/tests/media/asound-none.conf \
    "$src/tools/wine-run" "$program" --gtest_brief=1
