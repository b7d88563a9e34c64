#!/bin/sh
# The libraries' layering: base/ includes only base/, core/ only core/ and base/ (and no
# widget or GUI header), headless/ no ui/. Prints each include that points the wrong way.
cd "$(dirname "$0")/../src" || exit 2
bad=$(
  grep -rnE '#include "(core|headless|ui)/' base
  grep -rnE '#include "(headless|ui)/|#include <Qt(Gui|Widgets)|#include <Q(Widget|Application|Painter|Pixmap|Image|Color|Font|Icon|Action)>' core
  grep -rnE '#include "ui/' headless
)
if [ -n "$bad" ]; then
  echo "Includes that point from a lower layer to a higher one:"
  echo "$bad"
  exit 1
fi
echo "Layers hold: base <- core <- headless, ui"
