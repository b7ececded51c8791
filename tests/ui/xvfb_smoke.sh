#!/usr/bin/env bash
# The real program in a real X server: it opens its window, converts the demo
# file into the test server and closes through Exit.
#   xvfb_smoke.sh BRACKEN MAKE_DEMO [SCREENSHOT_DIR]
# Needs Xvfb, xdotool and the test server (BRACKEN_TEST_MYSQL_*); exits 77
# (skipped) without them.
set -euo pipefail
program=$1
make_demo=$2
shots=${3:-}

for tool in Xvfb xdotool mariadb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -n "${BRACKEN_TEST_MYSQL_HOST:-}" ] || { echo "skipped: no test server"; exit 77; }

work=$(mktemp -d)
# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  mariadb --no-defaults -h "$BRACKEN_TEST_MYSQL_HOST" -P "$BRACKEN_TEST_MYSQL_PORT" \
    -u "$BRACKEN_TEST_MYSQL_USER" -p"$BRACKEN_TEST_MYSQL_PASSWORD" \
    -e "DROP DATABASE IF EXISTS ui_xvfb_shop" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
for _ in $(seq 1 300); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$make_demo" "$work/xvfb_shop.mdb"
sql() {
  mariadb --no-defaults -N -h "$BRACKEN_TEST_MYSQL_HOST" -P "$BRACKEN_TEST_MYSQL_PORT" \
    -u "$BRACKEN_TEST_MYSQL_USER" -p"$BRACKEN_TEST_MYSQL_PASSWORD" -e "$1"
}
sql "DROP DATABASE IF EXISTS ui_xvfb_shop"

"$program" >"$work/app.log" 2>&1 &
app=$!

wait_window() {  # title -> window id
  for _ in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\"" >&2
  cat "$work/app.log" >&2
  return 1
}
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; sleep 0.3; }
type_into() { click "$1" "$2"; xdotool key ctrl+a; xdotool type --delay 5 "$3"; }
snap() { [ -n "$shots" ] && xwd -silent -id "${2:-$main}" -out "$shots/$1.xwd" || true; }
answer() {  # focus the box and press Return on its default button
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
  xdotool key Return
  sleep 0.3
}

main=$(wait_window "Quillon Database Converter - Bracken")
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
type_into 181 181 "$BRACKEN_TEST_MYSQL_HOST"   # MySQL Server
type_into 181 230 "$BRACKEN_TEST_MYSQL_USER"   # Login Name
type_into 181 279 "$BRACKEN_TEST_MYSQL_PASSWORD"  # Password
click 557 216                                  # Browse
sleep 1
xdotool type --delay 5 "$work/xvfb_shop.mdb"
xdotool key Return
sleep 0.5
snap first-page
click 570 485                                  # Next
sleep 1
xdotool search --onlyvisible --name "^Message\$" >/dev/null 2>&1 &&
  { echo "Next was refused" >&2; exit 1; }
type_into 206 191 "ui_xvfb_shop"               # destination name
click 372 302                                  # Select All
click 570 485                                  # Convert
box=$(wait_window "Message")                   # the completion message
snap completed "$box"
answer "$box"
click 500 485                                  # Exit
box=$(wait_window "Message")
snap exit-question "$box"
answer "$box"                                  # Yes
# Leaving opens the web page; where no program can open it, a message gives
# its address first.
for _ in $(seq 1 30); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then
  box=$(xdotool search --onlyvisible --name "^Message\$" 2>/dev/null | tail -n 1 || true)
  [ -n "$box" ] && { snap web-page-message "$box"; answer "$box"; }
fi
for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "the program did not end" >&2; exit 1; fi
wait "$app" || true
app=""

tables=$(sql "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema='ui_xvfb_shop'")
orders=$(sql "SELECT COUNT(*) FROM ui_xvfb_shop.Orders")
echo "tables: $tables, orders: $orders"
[ "$tables" = 4 ] && [ "$orders" = 40 ]
