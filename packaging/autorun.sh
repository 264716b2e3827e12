#!/bin/sh
# The chart CD's autorun script: a desktop offers to run it when the CD is
# inserted. It starts the launcher from the CD's root, where the program
# finds Charts/, the legend and the help beside itself; on a CD without the
# program it starts the installed one, which finds the CD among the mounted
# volumes.
cd "$(dirname "$0")" || exit 1
if [ -x ./zarnavis ]; then
  exec ./zarnavis "$@"
fi
exec zarnavis "$@"
